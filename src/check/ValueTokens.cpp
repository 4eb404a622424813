#include "ValueTokens.h"

namespace Check {

namespace {

Css::TokenType closerOf(Css::TokenType opener)
{
    switch (opener) {
    case Css::TokenType::OpenSquare:
        return Css::TokenType::CloseSquare;
    case Css::TokenType::OpenCurly:
        return Css::TokenType::CloseCurly;
    default:
        return Css::TokenType::CloseParen;
    }
}

} // namespace

void ValueTokens::read(QStringView text)
{
    m_text = text;
    m_tokens.clear();
    m_open.clear();
    m_important = false;
    Css::Tokenizer tokenizer(text);
    for (;;) {
        const Css::Token token = tokenizer.next();
        if (token.type == Css::TokenType::EndOfFile)
            break;
        if (token.type == Css::TokenType::Whitespace || token.type == Css::TokenType::Comment)
            continue;
        const int index = int(m_tokens.size());
        m_tokens.push_back({token.type, token.start, token.length, token.numberLength, -1});
        switch (token.type) {
        case Css::TokenType::Function:
        case Css::TokenType::OpenParen:
        case Css::TokenType::OpenSquare:
        case Css::TokenType::OpenCurly:
            m_open.push_back(index);
            break;
        case Css::TokenType::CloseParen:
        case Css::TokenType::CloseSquare:
        case Css::TokenType::CloseCurly:
            // A closer that does not match the innermost open block is a plain token in it.
            if (!m_open.empty() && closerOf(m_tokens[std::size_t(m_open.back())].type) == token.type) {
                m_tokens[std::size_t(m_open.back())].close = index;
                m_open.pop_back();
            }
            break;
        default:
            break;
        }
    }
    // "!important" at the very end, outside every block.
    const int n = int(m_tokens.size());
    if (m_open.empty() && n >= 2 && m_tokens[std::size_t(n - 1)].type == Css::TokenType::Ident &&
        textOf(n - 1).compare(u"important", Qt::CaseInsensitive) == 0 &&
        m_tokens[std::size_t(n - 2)].type == Css::TokenType::Delim && textOf(n - 2) == u"!") {
        m_tokens.resize(std::size_t(n - 2));
        m_important = true;
    }
    // Blocks left open at the end close there.
    for (int index : m_open)
        m_tokens[std::size_t(index)].close = int(m_tokens.size());
}

int ValueTokens::componentEnd(int i) const
{
    const Token &token = m_tokens[std::size_t(i)];
    if (token.close < 0)
        return i + 1;
    return token.close < size() ? token.close + 1 : size();
}

QStringView ValueTokens::componentText(int i) const
{
    const int end = componentEnd(i);
    const Token &first = m_tokens[std::size_t(i)];
    const Token &last = m_tokens[std::size_t(end - 1)];
    return m_text.sliced(first.start, last.start + last.length - first.start);
}

} // namespace Check
