#include "TreeDump.h"

#include "Document.h"

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

void dumpNode(QString &out, const ElementNode &node, int depth, DocumentForm form)
{
    // Rules without declarations under the root are the catalogue's offer, not part of
    // the style sheet.
    if (depth == 0 && node.kind == NodeKind::Rule && node.attributes.empty() && node.children.empty() &&
        !node.comments && !node.endComments)
        return;
    dumpComments(out, node.comments.get(), depth);
    const QString indent(depth, QLatin1Char('\t'));
    out += indent + kindMark(node) + QLatin1Char('\t') + TreeDump::escaped(node.label) + QLatin1Char('\n');
    for (const AttributeNode &attribute : node.attributes) {
        dumpComments(out, attribute.comments.get(), depth + 1);
        out += indent + QLatin1Char('\t') + QString::number(attribute.picture) + QLatin1Char('\t') +
               TreeDump::escaped(attribute.label(form)) + QLatin1Char('\n');
    }
    for (const auto &child : node.children)
        dumpNode(out, *child, depth + 1, form);
    dumpComments(out, node.endComments.get(), depth + 1);
}

} // namespace

QString TreeDump::tree(const Document &document)
{
    QString out;
    for (const auto &element : document.elements().elements())
        dumpNode(out, *element, 0, document.form());
    dumpComments(out, document.elements().endComments(), 0);
    return out;
}
