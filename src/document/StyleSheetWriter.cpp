#include "StyleSheetWriter.h"

#include "CssTokenizer.h"
#include "Document.h"
#include "StandardWriter.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QLatin1String LineBreak("\r\n");

// Nested blocks are indented by two spaces a level up to this depth, and no further:
// a deeply nested sheet is written in about the size it was read in, not in a size
// that grows with the square of its depth.
constexpr int MaxIndentLevels = 20;

int indentAt(size_t depth)
{
    return 2 * int(std::min(depth, size_t(MaxIndentLevels)));
}

// Whether a statement is the at-rule `name` (name and prelude, or the name alone).
bool isStatement(const ElementNode &node, QLatin1String name)
{
    if (node.kind != NodeKind::Statement || !node.label.startsWith(name, Qt::CaseInsensitive))
        return false;
    return node.label.size() == name.size() || !Css::isNameCharacter(node.label[name.size()]);
}

// Statements that a browser honours only before every rule.
bool isLeadingStatement(const ElementNode &node)
{
    for (const char *name : {"@charset", "@import", "@namespace", "@layer"})
        if (isStatement(node, QLatin1String(name)))
            return true;
    return false;
}

class Writer
{
public:
    explicit Writer(DocumentForm form) : m_form(form) {}

    void write(const StyleSheetModel &model)
    {
        // Built in one buffer of about the final size: growing it by appending would
        // copy the text again and again and touch up to twice its memory.
        qsizetype size = 0;
        for (const auto &node : model.elements())
            size += sizeOfTree(*node);
        if (const QStringList *comments = model.endComments())
            size += sizeOf(comments, 0);
        m_text.reserve(size);
        // @charset counts only at the very start; the other leading statements follow
        // it in their order.
        for (const auto &node : model.elements())
            if (isStatement(*node, QLatin1String("@charset")))
                writeTree(*node);
        for (const auto &node : model.elements())
            if (isLeadingStatement(*node) && !isStatement(*node, QLatin1String("@charset")))
                writeTree(*node);
        for (const auto &node : model.elements())
            if (!isLeadingStatement(*node))
                writeTree(*node);
        if (const QStringList *comments = model.endComments())
            for (const QString &comment : *comments)
                line(0) += comment;
    }

    QString take() { return std::move(m_text); }

private:
    // At least the length the node is written in, and little more (the buffer should fit
    // where the text it was read from stood): its text, and for each line its break,
    // indent and the marks around the text.
    static qsizetype sizeOf(const QStringList *comments, int indent)
    {
        qsizetype size = 0;
        if (comments)
            for (const QString &comment : *comments)
                size += comment.size() + indent + 2;
        return size;
    }

    qsizetype sizeOf(const ElementNode &node, int indent) const
    {
        // Break, indent, label, " {" (and a blank after a hex escape) and "}"; a node with
        // children has a line for its declarations and one for its "}".
        qsizetype size = node.label.size() + (node.children.empty() ? 6 + indent : 12 + 3 * indent) +
                         sizeOf(node.comments.get(), indent) + sizeOf(node.endComments.get(), indent + 2);
        const qsizetype separator = m_form == DocumentForm::Editor ? 1 : 2; // "=" or ": "
        for (const AttributeNode &attribute : node.attributes)
            size += attribute.name().size() + attribute.value().size() + separator + 2 +
                    sizeOf(attribute.comments.get(), 0);
        return size;
    }

    // The size of a node and every node under it (a stack, not a call per level).
    qsizetype sizeOfTree(const ElementNode &top) const
    {
        qsizetype size = 0;
        std::vector<std::pair<const ElementNode *, size_t>> nodes{{&top, 0}};
        while (!nodes.empty()) {
            const auto [node, depth] = nodes.back();
            nodes.pop_back();
            size += sizeOf(*node, indentAt(depth));
            for (const auto &child : node->children)
                nodes.push_back({child.get(), depth + 1});
        }
        return size;
    }

    // Starts a new line at `indent` and gives the text to append to.
    QString &line(int indent)
    {
        if (m_started)
            m_text += LineBreak;
        m_started = true;
        for (int i = 0; i < indent; ++i)
            m_text += QLatin1Char(' ');
        return m_text;
    }

    void writeComments(const QStringList *comments, int indent)
    {
        if (comments)
            for (const QString &comment : *comments)
                line(indent) += comment;
    }

    static void appendInline(QString &text, const QStringList *comments)
    {
        if (comments)
            for (const QString &comment : *comments) {
                text += comment;
                text += QLatin1Char(' ');
            }
    }

    void appendDeclarations(QString &text, const ElementNode &node)
    {
        const size_t last = node.attributes.size() - 1;
        for (size_t i = 0; i <= last; ++i) {
            const AttributeNode &attribute = node.attributes[i];
            appendInline(text, attribute.comments.get());
            text += attribute.name();
            if (attribute.hasValue()) {
                text += m_form == DocumentForm::Editor ? QLatin1String("=") : QLatin1String(": ");
                text += attribute.value();
            }
            text += i == last ? QLatin1String(";") : QLatin1String("; ");
        }
    }

    // A node's label and " {"; a label that ends in a hex escape gets a blank to end
    // it, or the escape would take in the blank before "{".
    static void appendHead(QString &text, const QString &label)
    {
        text += label;
        if (Css::endsInHexEscape(label))
            text += QLatin1Char(' ');
        text += QLatin1String(" {");
    }

    // Writes a node's comments and the node, whole when it holds no child nodes, else its
    // head and declarations; true when its child nodes and "}" are still to be written.
    bool writeHead(const ElementNode &node, size_t depth)
    {
        const int indent = indentAt(depth);
        writeComments(node.comments.get(), indent);
        if (node.kind == NodeKind::Statement) {
            QString &text = line(indent);
            text += node.label;
            text += QLatin1Char(';');
            if (node.endComments)
                for (const QString &comment : *node.endComments)
                    text += QLatin1Char(' ') + comment;
            return false;
        }
        if (node.children.empty()) {
            QString &text = line(indent);
            appendHead(text, node.label);
            if (!node.attributes.empty())
                appendDeclarations(text, node);
            if (node.endComments)
                for (const QString &comment : *node.endComments)
                    text += (text.endsWith(QLatin1Char('{')) ? QString() : QStringLiteral(" ")) + comment;
            text += QLatin1Char('}');
            return false;
        }
        appendHead(line(indent), node.label);
        if (!node.attributes.empty())
            appendDeclarations(line(indentAt(depth + 1)), node);
        return true;
    }

    // A top-level node and every node under it, in file order. The blocks being written
    // stand on a stack of their own (with the next child of each), so that a sheet of any
    // depth is written without a call per level.
    void writeTree(const ElementNode &top)
    {
        // Rules without declarations say nothing and are left out under the root (the
        // catalogue's offer); anywhere else, and with comments, they stay.
        if (top.kind == NodeKind::Rule && top.attributes.empty() && top.children.empty() &&
            !top.endComments && !top.comments)
            return;
        if (!writeHead(top, 0))
            return;
        std::vector<std::pair<const ElementNode *, size_t>> open{{&top, 0}};
        while (!open.empty()) {
            const ElementNode &node = *open.back().first;
            const size_t depth = open.size() - 1;
            if (open.back().second == node.children.size()) {
                writeComments(node.endComments.get(), indentAt(depth + 1));
                line(indentAt(depth)) += QLatin1Char('}');
                open.pop_back();
                continue;
            }
            const ElementNode &child = *node.children[open.back().second++];
            if (writeHead(child, depth + 1))
                open.push_back({&child, 0});
        }
    }

    DocumentForm m_form;
    QString m_text;
    bool m_started = false;
};

} // namespace

QStringList StyleSheetWriter::buildStyleSheetText(const Document &document)
{
    const QString text = styleSheetText(document);
    if (text.isEmpty())
        return {};
    return text.split(LineBreak);
}

QString StyleSheetWriter::styleSheetText(const Document &document)
{
    if (document.form() == DocumentForm::Standard)
        return StandardWriter::text(document.elements());
    Writer writer(document.form());
    writer.write(document.elements());
    return writer.take();
}

void StyleSheetWriter::save(Document &document, const QString &path)
{
    const TextFile::Encoding written =
        TextFile::save(path, styleSheetText(document), document.encoding(), document.byteOrderMark());
    document.setEncoding(written, document.byteOrderMark());
}
