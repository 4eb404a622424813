#include "AttributeLabel.h"

QString AttributeLabel::name(QStringView label)
{
    const qsizetype eq = label.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : label.left(eq).toString();
}

QString AttributeLabel::value(QStringView label)
{
    const qsizetype eq = label.indexOf(QLatin1Char('='));
    return eq < 0 ? label.toString() : label.mid(eq + 1).toString();
}

QString AttributeLabel::prefix(QStringView label)
{
    const qsizetype eq = label.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : label.left(eq + 1).toString();
}

QString AttributeLabel::unquote(QStringView value)
{
    if (!value.isEmpty() && value.front() == QLatin1Char('"'))
        value = value.mid(1);
    if (!value.isEmpty() && value.back() == QLatin1Char('"'))
        value.chop(1);
    return value.toString();
}

QString AttributeLabel::quote(QStringView value)
{
    return QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

bool AttributeLabel::endsInEscape(QStringView text)
{
    qsizetype backslashes = 0;
    while (backslashes < text.size() && text[text.size() - 1 - backslashes] == QLatin1Char('\\'))
        ++backslashes;
    return backslashes % 2 == 1;
}
