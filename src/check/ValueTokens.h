#pragma once

#include "CssTokenizer.h"

#include <QStringView>
#include <vector>

namespace Check {

// The tokens of a declaration's value as the matcher sees them: whitespace and comments
// left out, and each function, ( block and [ block knowing where it closes.
class ValueTokens
{
public:
    struct Token
    {
        Css::TokenType type = Css::TokenType::EndOfFile;
        qsizetype start = 0;
        qsizetype length = 0;
        qsizetype numberLength = 0;
        int close =
            -1; // Function, OpenParen, OpenSquare, OpenCurly: its closing token, or size() when unclosed
    };

    // Reads the value; a trailing "!important" is left out and noted.
    void read(QStringView text);

    int size() const { return int(m_tokens.size()); }
    const Token &operator[](int i) const { return m_tokens[std::size_t(i)]; }
    QStringView text() const { return m_text; }
    QStringView textOf(int i) const
    {
        return m_text.sliced(m_tokens[std::size_t(i)].start, m_tokens[std::size_t(i)].length);
    }
    // A Function token's name without its "(".
    QStringView functionName(int i) const { return textOf(i).chopped(1); }
    // The end of the component value starting at i: past a whole block, else the next token.
    int componentEnd(int i) const;
    // The source text of the component value starting at i.
    QStringView componentText(int i) const;
    bool important() const { return m_important; }

private:
    QStringView m_text;
    std::vector<Token> m_tokens;
    std::vector<int> m_open;
    bool m_important = false;
};

} // namespace Check
