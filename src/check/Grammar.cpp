#include "Grammar.h"

#include "SyntaxParser.h"

#include <algorithm>

namespace Check {

void Grammar::addProperty(const QString &name, const QString &syntax)
{
    const QString key = name.toLower();
    if (!m_properties.contains(key))
        m_propertyNames.append(key);
    m_properties.insert(key, Entry{syntax, -1});
}

void Grammar::addNamedSyntax(const QString &name, const QString &syntax)
{
    m_named.insert(name.toLower(), Entry{syntax, -1});
}

int Grammar::compile(Entry &entry)
{
    if (entry.root == -1) {
        // Marked unreadable while it compiles: the syntax is only read, never matched,
        // during compilation, so nothing can observe the mark but a failure.
        entry.root = -2;
        const int root = SyntaxParser(*this, entry.syntax).parse();
        entry.root = root >= 0 ? root : -2;
    }
    return entry.root;
}

int Grammar::propertyRoot(const QString &name)
{
    const auto it = m_properties.find(name);
    return it == m_properties.end() ? -1 : compile(*it);
}

int Grammar::namedRoot(const QString &name)
{
    const auto it = m_named.find(name);
    return it == m_named.end() ? -1 : compile(*it);
}

QStringList Grammar::unreadable()
{
    QStringList names;
    for (auto it = m_properties.begin(); it != m_properties.end(); ++it) {
        if (compile(*it) < 0)
            names.append(it.key());
    }
    for (auto it = m_named.begin(); it != m_named.end(); ++it) {
        if (compile(*it) < 0)
            names.append(QLatin1Char('<') + it.key() + QLatin1Char('>'));
    }
    names.sort();
    return names;
}

int Grammar::addNode(SyntaxNode node)
{
    m_nodes.push_back(std::move(node));
    return int(m_nodes.size()) - 1;
}

std::vector<QString> Grammar::keywordList(const QString &name) const
{
    std::vector<QString> words;
    const auto it = m_named.constFind(name);
    if (it == m_named.cend())
        return words;
    for (const QString &part : it->syntax.split(u'|')) {
        const QString word = part.trimmed().toLower();
        if (word.isEmpty() || word.contains(u' ') || word.contains(u'<'))
            return {};
        words.push_back(word);
    }
    std::sort(words.begin(), words.end());
    return words;
}

} // namespace Check
