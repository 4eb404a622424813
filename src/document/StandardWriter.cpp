#include "StandardWriter.h"

#include "CssTokenizer.h"
#include "StyleSheetModel.h"

#include <climits>
#include <vector>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

class Writer
{
public:
    explicit Writer(const StyleSheetModel &model)
        : m_model(model), m_usable(model.source().isStandard()), m_src(model.source().text),
          m_lineBreak(model.source().lineBreak)
    {
    }

    QString write()
    {
        m_out.reserve(m_src.size() + 256);
        const ElementNodes &nodes = m_model.elements();
        m_oneLine = m_usable && rulesAreOneLine(nodes);
        const ElementNode *previous = nullptr;
        // Nodes made here that stand before the sheet's own (the catalogue's, given
        // declarations) go after them, at the end of the sheet.
        std::vector<const ElementNode *> later;
        bool anyRead = false;
        for (const auto &node : nodes)
            anyRead = anyRead || (m_usable && node->hasSource());
        bool seenRead = false;
        for (const auto &node : nodes) {
            if (m_usable && node->hasSource()) {
                writeNode(*node);
                previous = node.get();
                seenRead = true;
                continue;
            }
            if (!worthWriting(*node))
                continue;
            if (anyRead && !seenRead) {
                later.push_back(node.get());
                continue;
            }
            generate(*node, QString(), topSeparator(previous, *node), m_oneLine);
            previous = node.get();
        }
        for (const ElementNode *node : later) {
            generate(*node, QString(), topSeparator(previous, *node), m_oneLine);
            previous = node;
        }
        if (m_usable) {
            m_out += QStringView(m_src).sliced(m_model.source().tailStart);
        } else {
            if (const QStringList *comments = m_model.endComments())
                for (const QString &comment : *comments) {
                    if (!m_out.isEmpty())
                        m_out += m_lineBreak;
                    m_out += comment;
                }
        }
        // A document made here (or an empty file) ends with a line break.
        if ((!m_usable || m_src.isEmpty()) && !m_out.isEmpty())
            m_out += m_lineBreak;
        return std::move(m_out);
    }

private:
    QStringView source(qsizetype from, qsizetype to) const
    {
        return QStringView(m_src).sliced(from, to - from);
    }

    // Rules without declarations, nodes or comments say nothing and are left out under
    // the root when they were made here (the catalogue's offer, a fresh New Element).
    static bool worthWriting(const ElementNode &node)
    {
        return node.kind != NodeKind::Rule || !node.attributes.empty() || !node.children.empty() ||
               node.comments || node.endComments;
    }

    // Whether the file writes its rules on one line each: its last top-level rule with
    // declarations has no line break inside its block.
    bool rulesAreOneLine(const ElementNodes &nodes) const
    {
        for (auto i = nodes.rbegin(); i != nodes.rend(); ++i) {
            const ElementNode &node = **i;
            if (!node.hasSource() || node.kind == NodeKind::Statement || node.attributes.empty())
                continue;
            for (QChar c : source(node.innerStart, node.innerEnd))
                if (isLineBreak(c))
                    return false;
            return true;
        }
        return false;
    }

    // The blanks just before `at`, from the first line break among them (blank lines
    // and the indentation after them); empty when they hold no line break.
    QString linesBefore(qsizetype at) const
    {
        qsizetype start = at;
        while (start > 0 && isBlank(m_src[start - 1]))
            --start;
        for (qsizetype i = start; i < at; ++i)
            if (isLineBreak(m_src[i]))
                return source(i, at).toString();
        return {};
    }

    // The blanks just before `at`, from the last line break among them (with the
    // indentation after it); empty when they hold no line break.
    QString lineBefore(qsizetype at) const
    {
        qsizetype start = at;
        while (start > 0 && isBlank(m_src[start - 1]))
            --start;
        for (qsizetype i = at; i > start; --i) {
            if (!isLineBreak(m_src[i - 1]))
                continue;
            qsizetype from = i - 1;
            if (m_src[from] == QLatin1Char('\n') && from > start && m_src[from - 1] == QLatin1Char('\r'))
                --from;
            return source(from, at).toString();
        }
        return {};
    }

    // The indentation of the line a node's label stands on (when only blanks precede it).
    QString indentOf(const ElementNode &node) const
    {
        if (!node.hasSource())
            return {};
        const QString line = lineBefore(node.labelStart);
        qsizetype i = 0;
        while (i < line.size() && isLineBreak(line[i]))
            ++i;
        return line.sliced(i);
    }

    // The file's unit of indentation: the first declaration on a line of its own,
    // indented further than its rule; two spaces when the file shows none.
    const QString &unit()
    {
        if (!m_unitFound) {
            m_unitFound = true;
            m_unit = QStringLiteral("  ");
            if (m_usable)
                findUnit(m_model.elements());
        }
        return m_unit;
    }

    bool findUnit(const ElementNodes &nodes)
    {
        for (const auto &node : nodes) {
            if (!node->hasSource())
                continue;
            for (const AttributeNode &attribute : node->attributes) {
                if (!attribute.hasSource())
                    continue;
                QString line = lineBefore(attribute.nameStart);
                if (line.isEmpty())
                    continue;
                qsizetype i = 0;
                while (i < line.size() && isLineBreak(line[i]))
                    ++i;
                const QString indent = line.sliced(i);
                const QString outer = indentOf(*node);
                if (indent.size() > outer.size() && indent.startsWith(outer)) {
                    m_unit = indent.sliced(outer.size());
                    return true;
                }
            }
            if (findUnit(node->children))
                return true;
        }
        return false;
    }

    // What stands before a new top-level node: the blanks before the last top-level
    // node read (a blank line or a line break), nothing at the very start of the text.
    QString topSeparator(const ElementNode *previous, const ElementNode &node)
    {
        if (m_out.isEmpty())
            return {};
        if (m_usable && previous && previous->hasSource()) {
            const QString line = linesBefore(previous->labelStart);
            if (!line.isEmpty())
                return line;
        }
        if (previous && previous->kind == NodeKind::Statement && node.kind == NodeKind::Statement)
            return m_lineBreak;
        return m_lineBreak + m_lineBreak;
    }

    // What stands before a new declaration or node in a block read from the file: the
    // line break and indentation of its last declaration (or first node), or " " in a
    // block written on one line.
    QString itemSeparator(const ElementNode &node)
    {
        for (auto i = node.attributes.rbegin(); i != node.attributes.rend(); ++i)
            if (i->hasSource()) {
                const QString line = lineBefore(i->nameStart);
                return line.isEmpty() ? QStringLiteral(" ") : line;
            }
        for (const auto &child : node.children)
            if (child->hasSource()) {
                const QString line = lineBefore(child->labelStart);
                return line.isEmpty() ? QStringLiteral(" ") : line;
            }
        for (QChar c : source(node.innerStart, node.innerEnd))
            if (isLineBreak(c))
                return m_lineBreak + indentOf(node) + unit();
        return QStringLiteral(" ");
    }

    void writeDeclaration(const AttributeNode &attribute)
    {
        SourceEdit edit = attribute.edit;
        // A value edited in a declaration written name=value gets the colon form whole.
        if (edit == SourceEdit::Value && !source(attribute.nameStart, attribute.valueStart).contains(u':'))
            edit = SourceEdit::Label;
        switch (edit) {
        case SourceEdit::None:
            m_out += source(attribute.sourceStart, attribute.sourceEnd);
            return;
        case SourceEdit::Value:
            m_out += source(attribute.sourceStart, attribute.valueStart);
            m_out += attribute.value();
            m_out += source(attribute.valueEnd, attribute.sourceEnd);
            return;
        case SourceEdit::Label:
            m_out += source(attribute.sourceStart, attribute.nameStart);
            m_out += attribute.label(DocumentForm::Standard);
            m_out += source(attribute.valueEnd, attribute.sourceEnd);
            return;
        }
    }

    // A node read from the file: copied whole when nothing in it changed, else piece by
    // piece, each declaration and child node in file order, new ones where they go.
    void writeNode(const ElementNode &node)
    {
        if (!node.touched) {
            m_out += source(node.sourceStart, node.sourceEnd);
            return;
        }
        m_out += source(node.sourceStart, node.labelStart);
        if (node.labelEdited)
            m_out += node.label;
        else
            m_out += source(node.labelStart, node.labelEnd);
        if (node.kind == NodeKind::Statement) {
            m_out += source(node.labelEnd, node.sourceEnd);
            return;
        }
        m_out += source(node.labelEnd, node.innerStart);

        // Declarations and child nodes merged in file order: each read item by where it
        // stood; a new declaration after the declaration before it, a new node at the end.
        const auto &attributes = node.attributes;
        const auto &children = node.children;
        size_t a = 0;
        size_t c = 0;
        qint64 attributeKey = node.innerStart;
        bool semicolonOwed = false; // the last item written was a declaration without ";"
        bool wroteNew = false;
        QString separator;
        const auto separatorOf = [&]() -> const QString & {
            if (separator.isEmpty())
                separator = itemSeparator(node);
            return separator;
        };
        while (a < attributes.size() || c < children.size()) {
            const qint64 nextAttribute =
                a < attributes.size() ? (attributes[a].hasSource() ? attributes[a].sourceStart : attributeKey)
                                      : LLONG_MAX;
            const qint64 nextChild =
                c < children.size() ? (children[c]->hasSource() ? children[c]->sourceStart : qint64(INT_MAX))
                                    : LLONG_MAX;
            if (semicolonOwed)
                m_out += QLatin1Char(';');
            semicolonOwed = false;
            if (nextAttribute <= nextChild) {
                const AttributeNode &attribute = attributes[a++];
                attributeKey = nextAttribute;
                if (attribute.hasSource()) {
                    writeDeclaration(attribute);
                    semicolonOwed = !attribute.semicolon;
                } else {
                    writeNewDeclaration(attribute, separatorOf());
                    wroteNew = true;
                }
            } else {
                const ElementNode &child = *children[c++];
                if (child.hasSource()) {
                    writeNode(child);
                } else {
                    const QString &before = separatorOf();
                    generate(child, indentAfterBreak(before), before,
                             !before.contains(u'\n') && !before.contains(u'\r'));
                    wroteNew = true;
                }
            }
        }
        const QStringView tail = source(node.tailStart, node.innerEnd);
        if (wroteNew && node.tailStart == node.innerStart) {
            // A block that was empty: its "}" goes where its items' style puts it.
            const QString &before = separatorOf();
            if (before == QLatin1String(" ")) {
                if (tail.isEmpty())
                    m_out += QLatin1Char(' ');
            } else if (!tail.contains(u'\n') && !tail.contains(u'\r')) {
                m_out += m_lineBreak + indentOf(node);
            }
        }
        m_out += tail;
        m_out += source(node.innerEnd, node.sourceEnd);
    }

    static QString indentAfterBreak(const QString &separator)
    {
        qsizetype i = separator.size();
        while (i > 0 && !isLineBreak(separator[i - 1]))
            --i;
        return separator.sliced(i);
    }

    void writeNewDeclaration(const AttributeNode &attribute, const QString &separator)
    {
        const QString indent = indentAfterBreak(separator);
        m_out += separator;
        if (attribute.comments)
            for (const QString &comment : *attribute.comments) {
                m_out += comment;
                m_out += separator == QLatin1String(" ") ? QString(QLatin1Char(' ')) : m_lineBreak + indent;
            }
        m_out += attribute.label(DocumentForm::Standard);
        m_out += QLatin1Char(';');
    }

    // A node made here (or of a document without a standard text), written whole in the
    // file's style: `indent` is its own indentation, `before` what stands before it.
    void generate(const ElementNode &node, const QString &indent, const QString &before, bool oneLine)
    {
        m_out += before;
        if (node.comments)
            for (const QString &comment : *node.comments) {
                m_out += comment;
                m_out += oneLine ? QString(QLatin1Char(' ')) : m_lineBreak + indent;
            }
        m_out += node.label;
        if (node.kind == NodeKind::Statement) {
            m_out += QLatin1Char(';');
            return;
        }
        if (Css::endsInHexEscape(node.label))
            m_out += QLatin1Char(' ');
        m_out += QLatin1String(" {");
        const QString inner = oneLine ? QString() : indent + unit();
        const QString separator = oneLine ? QStringLiteral(" ") : m_lineBreak + inner;
        bool any = false;
        for (const AttributeNode &attribute : node.attributes) {
            writeNewDeclaration(attribute, separator);
            any = true;
        }
        for (const auto &child : node.children) {
            generate(*child, inner, separator, oneLine);
            any = true;
        }
        if (node.endComments)
            for (const QString &comment : *node.endComments) {
                m_out += separator;
                m_out += comment;
                any = true;
            }
        if (any)
            m_out += oneLine ? QStringLiteral(" ") : m_lineBreak + indent;
        m_out += QLatin1Char('}');
    }

    const StyleSheetModel &m_model;
    const bool m_usable; // the document has a standard-CSS text to copy from
    const QString &m_src;
    const QString m_lineBreak;
    QString m_out;
    QString m_unit;
    bool m_unitFound = false;
    bool m_oneLine = false;
};

} // namespace

QString StandardWriter::text(const StyleSheetModel &model)
{
    return Writer(model).write();
}
