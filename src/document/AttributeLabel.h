#pragma once

#include <QString>
#include <QStringView>

// An attribute node's label is name "=" value, split at its first "=". A label
// without "=" is a name without value ("New Property").
namespace AttributeLabel {

// The text before the first "=" (the empty text when there is none).
QString name(QStringView label);
// The text after the first "=", or the whole label when it has none.
QString value(QStringView label);
// The label up to and including its first "=" (empty when there is none).
QString prefix(QStringView label);
// A value without one leading and one trailing double quote (each removed only when
// present); nothing else changes.
QString unquote(QStringView value);
// The value enclosed in double quotes, inner quotes left as they are.
QString quote(QStringView value);

// Whether the text ends in a backslash that escapes nothing yet (an odd run of them):
// whatever is written after it (";", "}", ": ", " {") would be escaped by it, and read
// back as part of the text.
bool endsInEscape(QStringView text);

} // namespace AttributeLabel
