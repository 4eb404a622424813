#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <deque>
#include <vector>

namespace Check {

// One piece of a compiled value syntax. Children are node numbers in the same grammar.
enum class NodeKind : quint8 {
    Keyword,  // an identifier, compared without regard to case
    Literal,  // a character such as , / : or a quoted one such as '['
    Type,     // <name>: a data type or a named syntax
    Property, // <'name'>: another property's syntax
    Function, // name( content ): children[0] is the content, none when empty
    Parens,   // ( content )
    Sequence, // juxtaposed: all, in order
    AllOf,    // a && b: all, in any order
    AnyOf,    // a || b: one or more, in any order
    OneOf,    // a | b: exactly one
    Repeat,   // children[0] between min and max times (max -1: no limit), comma-separated with #
    NonEmpty, // [ ... ]!: children[0], which must take at least one token
};

struct SyntaxNode
{
    NodeKind kind = NodeKind::Sequence;
    QString text; // keyword and names in lower case; a literal as written
    std::vector<int> children;
    int min = 1;
    int max = 1;
    bool comma = false;
    // <type [lo,hi]>
    bool hasRange = false;
    double lo = 0;
    double hi = 0;
    // Type and Property, resolved when first matched: a data type or a node.
    enum class Target : quint8 { Unresolved, DataType, Node };
    Target target = Target::Unresolved;
    int ref = -1;
};

// The value syntaxes of the properties and the named syntaxes, each compiled into nodes
// the first time it is needed and kept for every later use.
class Grammar
{
public:
    void addProperty(const QString &name, const QString &syntax);
    void addNamedSyntax(const QString &name, const QString &syntax);

    // Names are given in lower case. A property's root node, compiled on first use;
    // -1 when it is unknown, -2 when its syntax cannot be read.
    int propertyRoot(const QString &name);
    int namedRoot(const QString &name);
    bool hasProperty(const QString &name) const { return m_properties.contains(name); }
    const QStringList &propertyNames() const { return m_propertyNames; }
    // Compiles every syntax; the names of those that cannot be read, named ones as <name>.
    QStringList unreadable();

    const SyntaxNode &node(int id) const { return m_nodes[std::size_t(id)]; }
    SyntaxNode &node(int id) { return m_nodes[std::size_t(id)]; }
    int addNode(SyntaxNode node);
    int nodeCount() const { return int(m_nodes.size()); }

    // The keywords of a named syntax that is a plain list "a | b | c", lower case and
    // sorted (named colours, system colours); empty when there is no such syntax.
    std::vector<QString> keywordList(const QString &name) const;

private:
    struct Entry
    {
        QString syntax;
        int root = -1; // -1 not compiled yet, -2 unreadable
    };
    int compile(Entry &entry);

    QHash<QString, Entry> m_properties;
    QHash<QString, Entry> m_named;
    QStringList m_propertyNames;    // in the order given
    std::deque<SyntaxNode> m_nodes; // a deque, so that nodes stay put while more are compiled
};

} // namespace Check
