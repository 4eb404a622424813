#include "ValueKind.h"

ValueKind kindOfValues(const QStringList &lines)
{
    if (lines.isEmpty() || lines.first().isEmpty())
        return KindNone;
    const QString &first = lines.first();
    if (first.front() != QLatin1Char('<'))
        return KindChoice;
    if (first == QLatin1String("<Color>"))
        return KindColor;
    if (first == QLatin1String("<Number>"))
        return KindNumber;
    if (first == QLatin1String("<Font>"))
        return KindFont;
    if (first == QLatin1String("<URL>"))
        return KindUrl;
    return KindNone;
}
