#include "StandardWriter.h"

#include "CssTokenizer.h"
#include "StyleSheetModel.h"

#include <climits>
#include <utility>
#include <vector>

namespace {

// Blocks made here are indented one unit a level up to this depth, and no further.
constexpr size_t MaxIndentLevels = 20;

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
        // declarations) go after them, at the end of the sheet; those the user made or
        // moved there stay.
        std::vector<const ElementNode *> later;
        bool anyRead = false;
        for (const auto &node : nodes)
            anyRead = anyRead || (m_usable && node->hasSource());
        bool seenRead = false;
        for (const auto &node : nodes) {
            if (m_usable && node->hasSource()) {
                // A node the user put before the sheet's first one: the read node after
                // it starts on a line of its own.
                if (previous && !previous->hasSource() && !startsOnNewLine(*node))
                    m_out += ruleGap();
                writeNode(*node);
                previous = node.get();
                seenRead = true;
                continue;
            }
            if (!worthWriting(*node))
                continue;
            if (anyRead && !seenRead && !node->made) {
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
    // the root when they were made here (the catalogue's offer, a fresh New Element);
    // a rule the user made with New Rule is theirs, and written.
    static bool worthWriting(const ElementNode &node)
    {
        return node.kind != NodeKind::Rule || node.made || !node.attributes.empty() ||
               !node.children.empty() || node.comments || node.endComments;
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

    // The first declaration read on a line of its own decides the unit.
    void findUnit(const ElementNodes &top)
    {
        bool found = false;
        forEachNode(top, [&](const ElementNode &node) {
            if (found || !node.hasSource())
                return false;
            for (const AttributeNode &attribute : node.attributes) {
                if (!attribute.hasSource())
                    continue;
                QString line = lineBefore(attribute.nameStart);
                if (line.isEmpty())
                    continue;
                qsizetype i = 0;
                while (i < line.size() && isLineBreak(line[i]))
                    ++i;
                const QString indent = line.sliced(i);
                const QString outer = indentOf(node);
                if (indent.size() > outer.size() && indent.startsWith(outer)) {
                    m_unit = indent.sliced(outer.size());
                    found = true;
                    return false;
                }
            }
            return true;
        });
    }

    bool startsOnNewLine(const ElementNode &node) const
    {
        for (QChar c : source(node.sourceStart, node.labelStart))
            if (isLineBreak(c))
                return true;
        return false;
    }

    // The blanks that part a read node from the item before it, from the first line break
    // among them: those before its label, or those before the comments that stand
    // between (a blank line, then a comment on the rule, then the rule).
    QString partingLines(const ElementNode &node) const
    {
        qsizetype end = node.sourceStart;
        while (end < node.labelStart && isBlank(m_src[end]))
            ++end;
        return linesBefore(end);
    }

    // What stands between two top-level rules in the file: the blanks before its second
    // top-level node read, when they hold a line break; else a blank line.
    QString ruleGap() const
    {
        bool first = true;
        for (const auto &node : m_model.elements()) {
            if (!node->hasSource())
                continue;
            if (!first) {
                const QString gap = partingLines(*node);
                if (!gap.isEmpty())
                    return gap;
                break;
            }
            first = false;
        }
        return m_lineBreak + m_lineBreak;
    }

    // What stands before a new top-level node: the blanks before the last top-level
    // node read (a blank line or a line break), nothing at the very start of the text.
    QString topSeparator(const ElementNode *previous, const ElementNode &node)
    {
        if (m_out.isEmpty())
            return {};
        if (m_usable && previous && previous->hasSource()) {
            const QString line = partingLines(*previous);
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

    // A block read from the file that is being written piece by piece: where its merge of
    // declarations and child nodes stands.
    struct ReadBlock
    {
        explicit ReadBlock(const ElementNode &block) : node(&block), attributeKey(block.innerStart) {}
        const ElementNode *node;
        size_t a = 0; // the next declaration
        size_t c = 0; // the next child node
        qint64 attributeKey;
        bool semicolonOwed = false; // the last item written was a declaration without ";"
        bool wroteNew = false;
        QString separator; // what stands before a new item, found when first needed
    };

    // A node read from the file: copied whole when nothing in it changed, else piece by
    // piece, each declaration and child node in file order, new ones where they go. The
    // blocks being written stand on a stack of their own, not one call per level.
    void writeNode(const ElementNode &top)
    {
        if (!writeReadHead(top))
            return;
        std::vector<ReadBlock> open;
        open.push_back(ReadBlock(top));
        while (!open.empty()) {
            ReadBlock &block = open.back();
            const ElementNode &node = *block.node;
            const auto &attributes = node.attributes;
            const auto &children = node.children;
            if (block.a == attributes.size() && block.c == children.size()) {
                writeReadTail(block);
                open.pop_back();
                continue;
            }
            // Declarations and child nodes merged in file order: each read item by where it
            // stood; a new declaration after the declaration before it, a new node at the end.
            const qint64 nextAttribute =
                block.a < attributes.size()
                    ? (attributes[block.a].hasSource() ? attributes[block.a].sourceStart : block.attributeKey)
                    : LLONG_MAX;
            const qint64 nextChild =
                block.c < children.size()
                    ? (children[block.c]->hasSource() ? children[block.c]->sourceStart : qint64(INT_MAX))
                    : LLONG_MAX;
            if (block.semicolonOwed)
                m_out += QLatin1Char(';');
            block.semicolonOwed = false;
            if (nextAttribute <= nextChild) {
                const AttributeNode &attribute = attributes[block.a++];
                block.attributeKey = nextAttribute;
                if (attribute.hasSource()) {
                    writeDeclaration(attribute);
                    block.semicolonOwed = !attribute.semicolon;
                } else {
                    writeNewDeclaration(attribute, separatorOf(block));
                    block.wroteNew = true;
                }
                continue;
            }
            const ElementNode &child = *children[block.c++];
            if (child.hasSource()) {
                if (writeReadHead(child))
                    open.push_back(ReadBlock(child)); // `block` is gone now
                continue;
            }
            const QString before = separatorOf(block);
            block.wroteNew = true;
            generate(child, indentAfterBreak(before), before,
                     !before.contains(u'\n') && !before.contains(u'\r'));
        }
    }

    const QString &separatorOf(ReadBlock &block)
    {
        if (block.separator.isEmpty())
            block.separator = itemSeparator(*block.node);
        return block.separator;
    }

    // A read node's text up to its block's content; true when its content is still to be
    // written (it was changed, and it has a block).
    bool writeReadHead(const ElementNode &node)
    {
        if (!node.touched) {
            m_out += source(node.sourceStart, node.sourceEnd);
            return false;
        }
        m_out += source(node.sourceStart, node.labelStart);
        if (node.labelEdited)
            m_out += node.label;
        else
            m_out += source(node.labelStart, node.labelEnd);
        if (node.kind == NodeKind::Statement) {
            m_out += source(node.labelEnd, node.sourceEnd);
            return false;
        }
        m_out += source(node.labelEnd, node.innerStart);
        return true;
    }

    // What stands after a read block's last item: its tail and "}".
    void writeReadTail(ReadBlock &block)
    {
        const ElementNode &node = *block.node;
        const QStringView tail = source(node.tailStart, node.innerEnd);
        if (block.wroteNew && node.tailStart == node.innerStart) {
            // A block that was empty: its "}" goes where its items' style puts it.
            const QString &before = separatorOf(block);
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

    // A block made here that is being written: what stands before each of its items.
    struct NewBlock
    {
        NewBlock(const ElementNode &block, const QString &ownIndent) : node(&block), indent(ownIndent) {}
        const ElementNode *node;
        QString indent;    // the node's own indentation
        QString inner;     // its items'
        QString separator; // before each item
        size_t c = 0;      // the next child node
        bool any = false;  // something was written in the block
    };

    // A node made here (or of a document without a standard text), written whole in the
    // file's style: `indent` is its own indentation, `before` what stands before it. The
    // blocks being written stand on a stack of their own, not one call per level; past
    // MaxIndentLevels levels the indentation grows no further, so that a deep sheet is
    // written in a size linear in its content.
    void generate(const ElementNode &top, const QString &indent, const QString &before, bool oneLine)
    {
        std::vector<NewBlock> open;
        NewBlock first(top, indent);
        if (!generateHead(first, before, oneLine, 0))
            return;
        open.push_back(std::move(first));
        while (!open.empty()) {
            NewBlock &block = open.back();
            const ElementNode &node = *block.node;
            if (block.c < node.children.size()) {
                block.any = true;
                NewBlock child(*node.children[block.c++], block.inner);
                const QString separator = block.separator; // `block` goes with the push
                if (generateHead(child, separator, oneLine, open.size()))
                    open.push_back(std::move(child));
                continue;
            }
            if (node.endComments)
                for (const QString &comment : *node.endComments) {
                    m_out += block.separator;
                    m_out += comment;
                    block.any = true;
                }
            if (block.any)
                m_out += oneLine ? QStringLiteral(" ") : m_lineBreak + block.indent;
            m_out += QLatin1Char('}');
            open.pop_back();
        }
    }

    // A new node's comments, label and declarations; true when it has a block whose
    // child nodes and "}" are still to be written. `level`: blocks around it made here.
    bool generateHead(NewBlock &block, const QString &before, bool oneLine, size_t level)
    {
        const ElementNode &node = *block.node;
        m_out += before;
        if (node.comments)
            for (const QString &comment : *node.comments) {
                m_out += comment;
                m_out += oneLine ? QString(QLatin1Char(' ')) : m_lineBreak + block.indent;
            }
        m_out += node.label;
        if (node.kind == NodeKind::Statement) {
            m_out += QLatin1Char(';');
            return false;
        }
        if (Css::endsInHexEscape(node.label))
            m_out += QLatin1Char(' ');
        m_out += QLatin1String(" {");
        block.inner = oneLine ? QString() : level < MaxIndentLevels ? block.indent + unit() : block.indent;
        block.separator = oneLine ? QStringLiteral(" ") : m_lineBreak + block.inner;
        for (const AttributeNode &attribute : node.attributes) {
            writeNewDeclaration(attribute, block.separator);
            block.any = true;
        }
        return true;
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
