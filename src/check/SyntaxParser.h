#pragma once

#include "Grammar.h"

#include <QStringView>

namespace Check {

// Reads the value definition syntax ("<length>{1,4} | auto", "[ a || b ]#") into nodes
// of a grammar. Precedence from tight to loose: multipliers, juxtaposition, &&, ||, |.
class SyntaxParser
{
public:
    SyntaxParser(Grammar &grammar, QStringView syntax) : m_grammar(grammar), m_text(syntax) {}

    // The root node of the whole syntax, or -1 when the text is not a syntax.
    int parse();

private:
    int oneOf();
    int combined(int level);
    int sequence();
    int multiplied();
    int primary();
    bool readRange(SyntaxNode &node);
    bool readBraces(int &min, int &max);
    int group(NodeKind kind, std::vector<int> children);

    void skipSpace();
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : QChar();
    }
    bool startsWith(QLatin1StringView what) const { return m_text.sliced(m_pos).startsWith(what); }

    Grammar &m_grammar;
    QStringView m_text;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

} // namespace Check
