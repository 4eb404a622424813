#pragma once

#include <QString>
#include <QStringView>

// CSS syntax alone: the tokens of a style sheet's text, as browsers cut it. The reader,
// the code window's colours and the declaration check all read through this one
// tokenizer, so that they agree on where a comment, a string, a url() or a block begins
// and ends. Tokens are positions in the text; nothing is copied or allocated.
namespace Css {

enum class TokenType : quint8 {
    Ident,
    Function, // an identifier directly followed by "(" (the "(" is part of the token)
    AtKeyword,
    Hash,
    String,
    BadString, // a string cut by a line break (the line break is not part of it)
    Url,       // url( with an unquoted address, up to and including ")"
    BadUrl,
    Delim,
    Number,
    Percentage,
    Dimension,
    Whitespace,
    Cdo, // <!--
    Cdc, // -->
    Colon,
    Semicolon,
    Comma,
    OpenSquare,
    CloseSquare,
    OpenParen,
    CloseParen,
    OpenCurly,
    CloseCurly,
    Comment, // "/*" to "*/", or to the end of the text when unclosed
    EndOfFile,
};

struct Token
{
    TokenType type = TokenType::EndOfFile;
    qsizetype start = 0;
    qsizetype length = 0;
    // Number, Percentage, Dimension: the characters of the number (Dimension: its unit
    // follows them). Comment, String, Url: 1 when the text ends before it closes.
    qsizetype numberLength = 0;

    qsizetype end() const { return start + length; }
};

class Tokenizer
{
public:
    explicit Tokenizer(QStringView text, qsizetype from = 0) : m_text(text), m_pos(from) {}

    // The next token; EndOfFile (length 0) at the end, and again after it.
    Token next();
    qsizetype position() const { return m_pos; }
    void setPosition(qsizetype position) { m_pos = position; }
    QStringView text() const { return m_text; }

private:
    QChar at(qsizetype i) const { return i < m_text.size() ? m_text[i] : QChar(); }
    bool validEscape(qsizetype i) const;
    bool startsIdentifier(qsizetype i) const;
    bool startsNumber(qsizetype i) const;
    void consumeEscape();
    void consumeIdentSequence();
    Token consumeNumeric(qsizetype start);
    Token consumeIdentLike(qsizetype start);
    Token consumeString(qsizetype start, QChar quote);
    Token consumeUrl(qsizetype start);
    void consumeBadUrlRemnants();

    QStringView m_text;
    qsizetype m_pos = 0;
};

// The text of a token in the source.
inline QStringView tokenText(QStringView text, const Token &token)
{
    return text.sliced(token.start, token.length);
}

// The numeric value of a Number, Percentage or Dimension token; the unit of a Dimension.
double numberValue(QStringView text, const Token &token);
bool isInteger(QStringView text, const Token &token);
QStringView unit(QStringView text, const Token &token);

// An identifier or name with its escapes resolved (`\31 0` -> "10", `\;` -> ";").
QString unescaped(QStringView text);
// The value of a String token, without its quotes and with escapes resolved.
QString stringValue(QStringView tokenText);

// Inline: the tokenizer and its readers ask these of every character.
inline bool isWhitespace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f';
}

inline bool isNameCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '_' || u >= 0x80;
}

// Whether a text ends in a hex escape with nothing after it (`\31`): a blank written
// after it would end the escape instead of standing on its own.
bool endsInHexEscape(QStringView text);

} // namespace Css
