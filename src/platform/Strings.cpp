#include "Strings.h"

#include "Failure.h"

#include <limits>

QString Strings::trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool Strings::sameText(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

int Strings::toInt(const QString &text)
{
    const auto fail = [&text]() -> int {
        throw Failure(QStringLiteral("'%1' is not a valid integer value").arg(text));
    };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return fail();
    // Accumulate in 64 bits; hexadecimal texts may give the full 32-bit pattern.
    qint64 value = 0;
    const qint64 limit = base == 16 ? qint64(0xFFFFFFFF) : qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < n; ++i) {
        const int digit =
            QChar(text[i]).isDigit() && text[i].unicode() < 128 ? text[i].unicode() - '0'
            : base == 16 && text[i].toLower() >= QLatin1Char('a') && text[i].toLower() <= QLatin1Char('f')
                ? text[i].toLower().unicode() - 'a' + 10
                : -1;
        if (digit < 0)
            return fail();
        value = value * base + digit;
        if (value > limit)
            return fail();
    }
    if (base == 16) {
        const auto bits = static_cast<quint32>(value);
        return static_cast<int>(negative ? 0u - bits : bits);
    }
    if (negative)
        return static_cast<int>(-value);
    if (value > std::numeric_limits<int>::max())
        return fail();
    return static_cast<int>(value);
}
