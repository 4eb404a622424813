#include "TreeDump.h"

#include "Document.h"

#include <utility>
#include <vector>

QString TreeDump::escaped(const QString &label)
{
    QString out;
    out.reserve(label.size());
    for (const QChar c : label) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

void dumpComments(QString &out, const QStringList *comments, int depth)
{
    if (!comments)
        return;
    for (const QString &comment : *comments)
        out += QString(depth, QLatin1Char('\t')) + QLatin1String("c\t") + TreeDump::escaped(comment) +
               QLatin1Char('\n');
}

QString kindMark(const ElementNode &node)
{
    switch (node.kind) {
    case NodeKind::Block:
        return QStringLiteral("b");
    case NodeKind::AtRule:
        return QStringLiteral("a");
    case NodeKind::Statement:
        return QStringLiteral("s");
    case NodeKind::Rule:
        break;
    }
    return QString::number(node.picture);
}

// A node's head: its comments, label and declarations.
void dumpHead(QString &out, const ElementNode &node, int depth, DocumentForm form)
{
    dumpComments(out, node.comments.get(), depth);
    const QString indent(depth, QLatin1Char('\t'));
    out += indent + kindMark(node) + QLatin1Char('\t') + TreeDump::escaped(node.label) + QLatin1Char('\n');
    for (const AttributeNode &attribute : node.attributes) {
        dumpComments(out, attribute.comments.get(), depth + 1);
        out += indent + QLatin1Char('\t') + QString::number(attribute.picture) + QLatin1Char('\t') +
               TreeDump::escaped(attribute.label(form)) + QLatin1Char('\n');
    }
}

// A top-level node and every node under it, in file order. The nodes being gone
// through stand on a stack of their own (with the next child of each), so that a tree of
// any depth is dumped without a call per level.
void dumpNode(QString &out, const ElementNode &top, DocumentForm form)
{
    // Rules without declarations under the root are the catalogue's offer, not part of
    // the style sheet.
    if (top.kind == NodeKind::Rule && top.attributes.empty() && top.children.empty() && !top.comments &&
        !top.endComments)
        return;
    dumpHead(out, top, 0, form);
    std::vector<std::pair<const ElementNode *, size_t>> open{{&top, 0}};
    while (!open.empty()) {
        const ElementNode &node = *open.back().first;
        const int depth = int(open.size()) - 1;
        if (open.back().second == node.children.size()) {
            dumpComments(out, node.endComments.get(), depth + 1);
            open.pop_back();
            continue;
        }
        const ElementNode &child = *node.children[open.back().second++];
        dumpHead(out, child, depth + 1, form);
        open.push_back({&child, 0});
    }
}

} // namespace

QString TreeDump::tree(const Document &document)
{
    QString out;
    for (const auto &element : document.elements().elements())
        dumpNode(out, *element, document.form());
    dumpComments(out, document.elements().endComments(), 0);
    return out;
}
