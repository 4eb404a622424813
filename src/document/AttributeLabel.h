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

} // namespace AttributeLabel
