#include "SyntaxParser.h"

#include <limits>

namespace Check {

namespace {

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '_' || u == '@';
}

bool isNameStart(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '-' || u == '_' || u == '@';
}

// A bound of a range: a number, possibly with a unit ("0s"), or ∞ with a sign.
bool readBound(QStringView text, double &value)
{
    text = text.trimmed();
    bool negative = false;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        negative = text.startsWith(u'-');
        text = text.sliced(1);
    }
    if (text == u"\u221E" || text.compare(u"infinity", Qt::CaseInsensitive) == 0) {
        value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    qsizetype end = 0;
    while (end < text.size() && (text[end].isDigit() || text[end] == u'.'))
        ++end;
    bool ok = false;
    const double number = text.first(end).toDouble(&ok);
    if (!ok)
        return false;
    value = negative ? -number : number;
    return true;
}

} // namespace

int SyntaxParser::parse()
{
    const int root = oneOf();
    skipSpace();
    if (m_failed || !atEnd() || root < 0)
        return -1;
    return root;
}

void SyntaxParser::skipSpace()
{
    while (!atEnd() && peek().isSpace())
        ++m_pos;
}

int SyntaxParser::group(NodeKind kind, std::vector<int> children)
{
    if (children.size() == 1)
        return children.front();
    SyntaxNode node;
    node.kind = kind;
    node.children = std::move(children);
    return m_grammar.addNode(std::move(node));
}

int SyntaxParser::oneOf()
{
    return combined(0);
}

// Level 0: "|", level 1: "||", level 2: "&&", then juxtaposition.
int SyntaxParser::combined(int level)
{
    if (level == 3)
        return sequence();
    static const QLatin1StringView operators[] = {QLatin1StringView("|"), QLatin1StringView("||"),
                                                  QLatin1StringView("&&")};
    static const NodeKind kinds[] = {NodeKind::OneOf, NodeKind::AnyOf, NodeKind::AllOf};
    std::vector<int> parts;
    parts.push_back(combined(level + 1));
    for (;;) {
        skipSpace();
        const QLatin1StringView op = operators[level];
        if (!startsWith(op))
            break;
        // "|" must not be the start of "||".
        if (level == 0 && peek(1) == u'|')
            break;
        m_pos += op.size();
        parts.push_back(combined(level + 1));
    }
    for (int part : parts) {
        if (part < 0) {
            m_failed = true;
            return -1;
        }
    }
    // Any-order groups are matched over subsets of their parts.
    if (level > 0 && parts.size() > 30) {
        m_failed = true;
        return -1;
    }
    return group(kinds[level], std::move(parts));
}

int SyntaxParser::sequence()
{
    std::vector<int> parts;
    for (;;) {
        skipSpace();
        if (atEnd() || m_failed)
            break;
        const QChar c = peek();
        if (c == u']' || c == u')' || (c == u'|') || startsWith(QLatin1StringView("&&")))
            break;
        const int part = multiplied();
        if (part < 0) {
            m_failed = true;
            return -1;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        m_failed = true;
        return -1;
    }
    return group(NodeKind::Sequence, std::move(parts));
}

bool SyntaxParser::readBraces(int &min, int &max)
{
    // "{A}", "{A,}" or "{A,B}".
    const qsizetype close = m_text.indexOf(u'}', m_pos);
    if (close < 0)
        return false;
    const QStringView inside = m_text.sliced(m_pos + 1, close - m_pos - 1);
    const qsizetype comma = inside.indexOf(u',');
    bool ok = false;
    min = (comma < 0 ? inside : inside.first(comma)).trimmed().toInt(&ok);
    if (!ok || min < 0)
        return false;
    if (comma < 0) {
        max = min;
    } else if (inside.sliced(comma + 1).trimmed().isEmpty()) {
        max = -1;
    } else {
        max = inside.sliced(comma + 1).trimmed().toInt(&ok);
        if (!ok || max < min)
            return false;
    }
    m_pos = close + 1;
    return true;
}

int SyntaxParser::multiplied()
{
    int part = primary();
    if (part < 0)
        return -1;
    // Multipliers follow their component directly; several may stack ("#?").
    for (;;) {
        SyntaxNode node;
        node.kind = NodeKind::Repeat;
        const QChar c = peek();
        if (c == u'!') {
            node.kind = NodeKind::NonEmpty;
            ++m_pos;
        } else if (c == u'?' || c == u'*' || c == u'+') {
            node.min = c == u'?' || c == u'*' ? 0 : 1;
            node.max = c == u'?' ? 1 : -1;
            ++m_pos;
        } else if (c == u'#') {
            // "#" alone is one or more; "#{A,B}" is A to B; both comma-separated.
            node.comma = true;
            node.max = -1;
            ++m_pos;
            if (peek() == u'{' && !readBraces(node.min, node.max))
                return -1;
        } else if (c == u'{') {
            if (!readBraces(node.min, node.max))
                return -1;
        } else {
            return part;
        }
        node.children = {part};
        part = m_grammar.addNode(std::move(node));
    }
}

bool SyntaxParser::readRange(SyntaxNode &node)
{
    // " [lo,hi]" inside or just after a type.
    qsizetype at = m_pos;
    while (at < m_text.size() && m_text[at].isSpace())
        ++at;
    if (at >= m_text.size() || m_text[at] != u'[')
        return false;
    const qsizetype close = m_text.indexOf(u']', at);
    if (close < 0)
        return false;
    const QStringView inside = m_text.sliced(at + 1, close - at - 1);
    const qsizetype comma = inside.indexOf(u',');
    if (comma < 0 || !readBound(inside.first(comma), node.lo) ||
        !readBound(inside.sliced(comma + 1), node.hi))
        return false;
    node.hasRange = true;
    m_pos = close + 1;
    return true;
}

int SyntaxParser::primary()
{
    skipSpace();
    if (atEnd())
        return -1;
    const QChar c = peek();
    if (c == u'[') {
        ++m_pos;
        const int inner = oneOf();
        skipSpace();
        if (inner < 0 || peek() != u']')
            return -1;
        ++m_pos;
        return inner;
    }
    if (c == u'<') {
        SyntaxNode node;
        if (peek(1) == u'\'') {
            const qsizetype close = m_text.indexOf(QLatin1StringView("'>"), m_pos + 2);
            if (close < 0)
                return -1;
            node.kind = NodeKind::Property;
            node.text = m_text.sliced(m_pos + 2, close - m_pos - 2).toString().toLower();
            m_pos = close + 2;
            return m_grammar.addNode(std::move(node));
        }
        qsizetype at = m_pos + 1;
        while (at < m_text.size() && (isNameChar(m_text[at]) || m_text[at] == u'+'))
            ++at;
        if (at + 1 < m_text.size() && m_text[at] == u'(' && m_text[at + 1] == u')')
            at += 2;
        node.kind = NodeKind::Type;
        node.text = m_text.sliced(m_pos + 1, at - m_pos - 1).toString().toLower();
        m_pos = at;
        readRange(node);
        skipSpace();
        if (peek() != u'>' || node.text.isEmpty())
            return -1;
        ++m_pos;
        // A range written after the type ("<length> [0,∞]") belongs to it as well.
        if (!node.hasRange) {
            const qsizetype before = m_pos;
            if (!readRange(node))
                m_pos = before;
        }
        return m_grammar.addNode(std::move(node));
    }
    if (c == u'\'') {
        const qsizetype close = m_text.indexOf(u'\'', m_pos + 1);
        if (close <= m_pos + 1)
            return -1;
        SyntaxNode node;
        node.kind = NodeKind::Literal;
        node.text = m_text.sliced(m_pos + 1, close - m_pos - 1).toString();
        m_pos = close + 1;
        return m_grammar.addNode(std::move(node));
    }
    if (isNameStart(c)) {
        qsizetype at = m_pos;
        while (at < m_text.size() && isNameChar(m_text[at]))
            ++at;
        SyntaxNode node;
        node.text = m_text.sliced(m_pos, at - m_pos).toString().toLower();
        m_pos = at;
        if (peek() != u'(') {
            node.kind = NodeKind::Keyword;
            return m_grammar.addNode(std::move(node));
        }
        node.kind = NodeKind::Function;
        ++m_pos;
        skipSpace();
        if (peek() != u')') {
            const int content = oneOf();
            skipSpace();
            if (content < 0 || peek() != u')')
                return -1;
            node.children = {content};
        }
        ++m_pos;
        return m_grammar.addNode(std::move(node));
    }
    if (c == u'(') {
        ++m_pos;
        const int content = oneOf();
        skipSpace();
        if (content < 0 || peek() != u')')
            return -1;
        ++m_pos;
        SyntaxNode node;
        node.kind = NodeKind::Parens;
        node.children = {content};
        return m_grammar.addNode(std::move(node));
    }
    if (c.isDigit()) {
        qsizetype at = m_pos;
        while (at < m_text.size() && (m_text[at].isDigit() || m_text[at] == u'.'))
            ++at;
        SyntaxNode node;
        node.kind = NodeKind::Literal;
        node.text = m_text.sliced(m_pos, at - m_pos).toString();
        m_pos = at;
        return m_grammar.addNode(std::move(node));
    }
    // Any other character stands for itself: , / : ; = and the like.
    if (c == u']' || c == u')' || c == u'|' || c.isSpace())
        return -1;
    SyntaxNode node;
    node.kind = NodeKind::Literal;
    node.text = QString(c);
    ++m_pos;
    return m_grammar.addNode(std::move(node));
}

} // namespace Check
