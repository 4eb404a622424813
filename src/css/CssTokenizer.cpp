#include "CssTokenizer.h"

namespace Css {

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return isDigit(c) || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80 || u == '_';
}

bool isNewline(QChar c)
{
    return c.unicode() == '\n' || c.unicode() == '\r' || c.unicode() == '\f';
}

bool isNonPrintable(QChar c)
{
    const char16_t u = c.unicode();
    return u <= 0x08 || u == 0x0B || (u >= 0x0E && u <= 0x1F) || u == 0x7F;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u <= '9')
        return u - '0';
    return (u | 0x20) - 'a' + 10;
}

} // namespace

bool endsInHexEscape(QStringView text)
{
    qsizetype i = text.size();
    int digits = 0;
    while (i > 0 && digits < 6 && isHexDigit(text[i - 1])) {
        --i;
        ++digits;
    }
    if (digits == 0 || i == 0 || text[i - 1] != QLatin1Char('\\'))
        return false;
    qsizetype backslashes = 0;
    for (qsizetype j = i - 1; j >= 0 && text[j] == QLatin1Char('\\'); --j)
        ++backslashes;
    return backslashes % 2 == 1;
}

bool Tokenizer::validEscape(qsizetype i) const
{
    return at(i) == QLatin1Char('\\') && i + 1 < m_text.size() && !isNewline(m_text[i + 1]);
}

bool Tokenizer::startsIdentifier(qsizetype i) const
{
    const QChar c = at(i);
    if (c == QLatin1Char('-')) {
        const QChar d = at(i + 1);
        return isNameStart(d) || d == QLatin1Char('-') || validEscape(i + 1);
    }
    if (isNameStart(c))
        return true;
    return validEscape(i);
}

bool Tokenizer::startsNumber(qsizetype i) const
{
    const QChar c = at(i);
    if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
        if (isDigit(at(i + 1)))
            return true;
        return at(i + 1) == QLatin1Char('.') && isDigit(at(i + 2));
    }
    if (c == QLatin1Char('.'))
        return isDigit(at(i + 1));
    return isDigit(c);
}

// After the backslash: up to six hex digits and one whitespace, or any one character.
void Tokenizer::consumeEscape()
{
    if (m_pos >= m_text.size())
        return;
    if (isHexDigit(m_text[m_pos])) {
        const qsizetype limit = m_pos + 6;
        while (m_pos < m_text.size() && m_pos < limit && isHexDigit(m_text[m_pos]))
            ++m_pos;
        if (m_pos < m_text.size() && isWhitespace(m_text[m_pos])) {
            // CR LF counts as one whitespace.
            if (m_text[m_pos] == QLatin1Char('\r') && at(m_pos + 1) == QLatin1Char('\n'))
                ++m_pos;
            ++m_pos;
        }
        return;
    }
    ++m_pos;
}

void Tokenizer::consumeIdentSequence()
{
    const QChar *const s = m_text.data();
    const qsizetype n = m_text.size();
    for (;;) {
        // Runs of plain name characters, each ended by an escape or the sequence's end.
        qsizetype i = m_pos;
        while (i < n && isNameCharacter(s[i]))
            ++i;
        m_pos = i;
        if (i >= n || !validEscape(i))
            return;
        ++m_pos;
        consumeEscape();
    }
}

Token Tokenizer::consumeNumeric(qsizetype start)
{
    if (at(m_pos) == QLatin1Char('+') || at(m_pos) == QLatin1Char('-'))
        ++m_pos;
    while (isDigit(at(m_pos)))
        ++m_pos;
    if (at(m_pos) == QLatin1Char('.') && isDigit(at(m_pos + 1))) {
        m_pos += 2;
        while (isDigit(at(m_pos)))
            ++m_pos;
    }
    const QChar e = at(m_pos);
    if (e == QLatin1Char('e') || e == QLatin1Char('E')) {
        const QChar s = at(m_pos + 1);
        if (isDigit(s)) {
            m_pos += 2;
            while (isDigit(at(m_pos)))
                ++m_pos;
        } else if ((s == QLatin1Char('+') || s == QLatin1Char('-')) && isDigit(at(m_pos + 2))) {
            m_pos += 3;
            while (isDigit(at(m_pos)))
                ++m_pos;
        }
    }
    const qsizetype numberLength = m_pos - start;
    if (startsIdentifier(m_pos)) {
        consumeIdentSequence();
        return {TokenType::Dimension, start, m_pos - start, numberLength};
    }
    if (at(m_pos) == QLatin1Char('%')) {
        ++m_pos;
        return {TokenType::Percentage, start, m_pos - start, numberLength};
    }
    return {TokenType::Number, start, m_pos - start, numberLength};
}

Token Tokenizer::consumeIdentLike(qsizetype start)
{
    consumeIdentSequence();
    if (at(m_pos) != QLatin1Char('('))
        return {TokenType::Ident, start, m_pos - start, 0};
    const QStringView name = m_text.sliced(start, m_pos - start);
    ++m_pos;
    if (name.compare(QLatin1String("url"), Qt::CaseInsensitive) == 0) {
        // url( followed by a quote is a function whose argument is a string.
        qsizetype i = m_pos;
        while (isWhitespace(at(i)))
            ++i;
        if (at(i) != QLatin1Char('"') && at(i) != QLatin1Char('\''))
            return consumeUrl(start);
    }
    return {TokenType::Function, start, m_pos - start, 0};
}

Token Tokenizer::consumeString(qsizetype start, QChar quote)
{
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c == quote) {
            ++m_pos;
            return {TokenType::String, start, m_pos - start, 0};
        }
        if (isNewline(c))
            return {TokenType::BadString, start, m_pos - start, 0};
        if (c == QLatin1Char('\\')) {
            ++m_pos;
            if (m_pos >= m_text.size())
                break;
            if (isNewline(m_text[m_pos])) {
                // An escaped line break continues the string.
                if (m_text[m_pos] == QLatin1Char('\r') && at(m_pos + 1) == QLatin1Char('\n'))
                    ++m_pos;
                ++m_pos;
            } else {
                consumeEscape();
            }
            continue;
        }
        ++m_pos;
    }
    return {TokenType::String, start, m_pos - start, 1}; // unclosed at the end of the text
}

void Tokenizer::consumeBadUrlRemnants()
{
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char(')')) {
            ++m_pos;
            return;
        }
        if (validEscape(m_pos)) {
            ++m_pos;
            consumeEscape();
        } else {
            ++m_pos;
        }
    }
}

Token Tokenizer::consumeUrl(qsizetype start)
{
    while (isWhitespace(at(m_pos)))
        ++m_pos;
    while (m_pos < m_text.size()) {
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char(')')) {
            ++m_pos;
            return {TokenType::Url, start, m_pos - start, 0};
        }
        if (isWhitespace(c)) {
            while (isWhitespace(at(m_pos)))
                ++m_pos;
            if (m_pos >= m_text.size())
                break;
            if (m_text[m_pos] == QLatin1Char(')')) {
                ++m_pos;
                return {TokenType::Url, start, m_pos - start, 0};
            }
            consumeBadUrlRemnants();
            return {TokenType::BadUrl, start, m_pos - start, 0};
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('(') || isNonPrintable(c)) {
            consumeBadUrlRemnants();
            return {TokenType::BadUrl, start, m_pos - start, 0};
        }
        if (c == QLatin1Char('\\')) {
            if (validEscape(m_pos)) {
                ++m_pos;
                consumeEscape();
                continue;
            }
            consumeBadUrlRemnants();
            return {TokenType::BadUrl, start, m_pos - start, 0};
        }
        ++m_pos;
    }
    return {TokenType::Url, start, m_pos - start, 1}; // unclosed at the end of the text
}

Token Tokenizer::next()
{
    const qsizetype start = m_pos;
    if (m_pos >= m_text.size())
        return {TokenType::EndOfFile, m_text.size(), 0, 0};
    const QChar c = m_text[m_pos];
    const char16_t u = c.unicode();

    if (u == '/' && at(m_pos + 1) == QLatin1Char('*')) {
        const qsizetype close = m_text.indexOf(QLatin1String("*/"), m_pos + 2);
        if (close < 0) {
            m_pos = m_text.size();
            return {TokenType::Comment, start, m_pos - start, 1};
        }
        m_pos = close + 2;
        return {TokenType::Comment, start, m_pos - start, 0};
    }
    if (isWhitespace(c)) {
        const QChar *const s = m_text.data();
        const qsizetype n = m_text.size();
        qsizetype i = m_pos + 1;
        while (i < n && isWhitespace(s[i]))
            ++i;
        m_pos = i;
        return {TokenType::Whitespace, start, m_pos - start, 0};
    }
    if (isNameStart(c) || (u == '\\' && validEscape(m_pos)))
        return consumeIdentLike(start);
    if (isDigit(c))
        return consumeNumeric(start);

    switch (u) {
    case '"':
    case '\'':
        ++m_pos;
        return consumeString(start, c);
    case '#':
        ++m_pos;
        if (m_pos < m_text.size() && (isNameCharacter(m_text[m_pos]) || validEscape(m_pos))) {
            consumeIdentSequence();
            return {TokenType::Hash, start, m_pos - start, 0};
        }
        return {TokenType::Delim, start, 1, 0};
    case '(':
        ++m_pos;
        return {TokenType::OpenParen, start, 1, 0};
    case ')':
        ++m_pos;
        return {TokenType::CloseParen, start, 1, 0};
    case '[':
        ++m_pos;
        return {TokenType::OpenSquare, start, 1, 0};
    case ']':
        ++m_pos;
        return {TokenType::CloseSquare, start, 1, 0};
    case '{':
        ++m_pos;
        return {TokenType::OpenCurly, start, 1, 0};
    case '}':
        ++m_pos;
        return {TokenType::CloseCurly, start, 1, 0};
    case ',':
        ++m_pos;
        return {TokenType::Comma, start, 1, 0};
    case ':':
        ++m_pos;
        return {TokenType::Colon, start, 1, 0};
    case ';':
        ++m_pos;
        return {TokenType::Semicolon, start, 1, 0};
    case '+':
    case '.':
        if (startsNumber(m_pos))
            return consumeNumeric(start);
        ++m_pos;
        return {TokenType::Delim, start, 1, 0};
    case '-':
        if (startsNumber(m_pos))
            return consumeNumeric(start);
        if (at(m_pos + 1) == QLatin1Char('-') && at(m_pos + 2) == QLatin1Char('>')) {
            m_pos += 3;
            return {TokenType::Cdc, start, 3, 0};
        }
        if (startsIdentifier(m_pos))
            return consumeIdentLike(start);
        ++m_pos;
        return {TokenType::Delim, start, 1, 0};
    case '<':
        if (m_text.sliced(m_pos).startsWith(QLatin1String("<!--"))) {
            m_pos += 4;
            return {TokenType::Cdo, start, 4, 0};
        }
        ++m_pos;
        return {TokenType::Delim, start, 1, 0};
    case '@':
        ++m_pos;
        if (startsIdentifier(m_pos)) {
            consumeIdentSequence();
            return {TokenType::AtKeyword, start, m_pos - start, 0};
        }
        return {TokenType::Delim, start, 1, 0};
    default:
        ++m_pos;
        return {TokenType::Delim, start, 1, 0};
    }
}

double numberValue(QStringView text, const Token &token)
{
    return text.sliced(token.start, token.numberLength).toDouble();
}

bool isInteger(QStringView text, const Token &token)
{
    const QStringView number = text.sliced(token.start, token.numberLength);
    for (const QChar c : number)
        if (c == QLatin1Char('.') || c == QLatin1Char('e') || c == QLatin1Char('E'))
            return false;
    return true;
}

QStringView unit(QStringView text, const Token &token)
{
    if (token.type == TokenType::Percentage)
        return text.sliced(token.start + token.numberLength, 1);
    if (token.type != TokenType::Dimension)
        return {};
    return text.sliced(token.start + token.numberLength, token.length - token.numberLength);
}

namespace {

// Resolves the escape whose backslash stands at `i`; returns the position after it.
qsizetype appendEscape(QString &out, QStringView text, qsizetype i)
{
    ++i;
    if (i >= text.size()) {
        out += QChar(0xFFFD);
        return i;
    }
    if (isHexDigit(text[i])) {
        char32_t code = 0;
        const qsizetype limit = i + 6;
        while (i < text.size() && i < limit && isHexDigit(text[i]))
            code = code * 16 + char32_t(hexValue(text[i++]));
        if (i < text.size() && isWhitespace(text[i])) {
            if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            ++i;
        }
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        out += QString::fromUcs4(&code, 1);
        return i;
    }
    out += text[i];
    return i + 1;
}

} // namespace

QString unescaped(QStringView text)
{
    if (!text.contains(QLatin1Char('\\')))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char('\\'))
            i = appendEscape(out, text, i);
        else
            out += text[i++];
    }
    return out;
}

QString stringValue(QStringView tokenText)
{
    if (tokenText.isEmpty())
        return {};
    const QChar quote = tokenText.front();
    QStringView inner = tokenText.sliced(1);
    if (!inner.isEmpty() && inner.back() == quote)
        inner.chop(1);
    QString out;
    out.reserve(inner.size());
    for (qsizetype i = 0; i < inner.size();) {
        if (inner[i] != QLatin1Char('\\')) {
            out += inner[i++];
        } else if (i + 1 < inner.size() && isNewline(inner[i + 1])) {
            i += 2;
            if (inner[i - 1] == QLatin1Char('\r') && i < inner.size() && inner[i] == QLatin1Char('\n'))
                ++i;
        } else {
            i = appendEscape(out, inner, i);
        }
    }
    return out;
}

} // namespace Css
