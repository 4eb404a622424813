#pragma once

#include <QString>
#include <QStringView>

namespace Strings {

// Removes every character with a code from 0 to 32 (blanks, tabs, line breaks and other
// control characters) from both ends.
QString trimmed(QStringView text);

// Equal when upper- and lower-case letters are taken as the same.
bool sameText(QStringView a, QStringView b);

// The whole text as a 32-bit signed whole number: leading blanks and a sign are allowed,
// "$" or "0x" introduce hexadecimal digits; anything else (a unit, a decimal point,
// an empty text, a value out of range) fails with "'%s' is not a valid integer value".
int toInt(const QString &text);

} // namespace Strings
