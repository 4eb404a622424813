#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// The form a document's declarations are written in: the editor's own (name=value,
// new documents and the files the editor wrote) or standard CSS (name: value, the
// files people write by hand).
enum class DocumentForm { Editor, Standard };

// What a node of the tree below the root holds.
enum class NodeKind : quint8 {
    Rule,      // a selector with its declarations (an element node)
    Block,     // an at-rule whose block holds rules and further blocks (@media, @supports...)
    AtRule,    // an at-rule whose block holds declarations (@font-face, @page...)
    Statement, // an at-rule ending in ";" (@import, @charset...)
};

// How a declaration read from a standard-CSS file was changed since: not at all (it is
// written as its source text), in its value only, or in its label (name and value).
enum class SourceEdit : quint8 { None, Value, Label };

// Pictures of the nodes that are not rules; they stand apart from the image lists'
// numbers, which the element list's build extends.
enum NodePicture : int { BlockPicture = -1, AtRulePicture = -2, StatementPicture = -3 };

// One declaration. Name and value are kept apart (in one text, the name first), so
// that no edit ever splits a value at the wrong "=" or ":"; the label is made from
// them in the document's form.
//
// A document holds hundreds of thousands of these, so the struct is kept small: the
// text is either a place in the document's source (a declaration read as written) or
// an array of its own, reached through one pointer, and the fields are packed without
// gaps.
struct AttributeNode
{
    AttributeNode() = default;
    AttributeNode(QStringView name, QStringView value, int picture = 0);
    AttributeNode(AttributeNode &&other) noexcept;
    AttributeNode &operator=(AttributeNode &&other) noexcept;
    ~AttributeNode() { releaseText(); }
    // A declaration without a separator: a name without value ("New Property").
    static AttributeNode nameOnly(QStringView name, int picture = 0);
    // A label as the user types it: split at the form's separator ("=" or ":"), or at
    // the other one when it lacks the form's; a label with neither is a name only. In
    // standard form name and value are trimmed.
    static AttributeNode fromLabel(QStringView label, DocumentForm form, int picture = 0);

    QStringView name() const
    {
        if (inSource())
            return QStringView(m_chars + nameStart, nameLength);
        return nameLength < 0 ? QStringView(m_chars, m_length) : QStringView(m_chars, nameLength);
    }
    QStringView value() const
    {
        if (inSource())
            return QStringView(m_chars + valueStart, valueEnd - valueStart);
        return nameLength < 0 ? QStringView() : QStringView(m_chars + nameLength, m_length - nameLength);
    }
    // Name and value as the document's source text holds them, kept there instead of in
    // a text of its own (a declaration of a standard sheet whose name and value read as
    // written); `source` is that text's characters, which live as long as the node.
    void keepInSource(const QChar *source)
    {
        releaseText();
        m_chars = source;
        m_length = InSource;
    }
    // Whether name and value are read from the source text (see keepInSource).
    bool inSource() const { return m_length == InSource; }
    // Gives the declaration a text of its own: `name`, and `value` after a separator
    // (or none, for a name without value).
    void setText(QStringView name, QStringView value, bool hasValue = true);
    bool hasValue() const { return nameLength >= 0; }
    // name "=" value in the editor's form, name ": " value in standard CSS.
    QString label(DocumentForm form) const;

    // A copy, comments and place in the source included (an undo step keeps the
    // declaration it replaced).
    AttributeNode clone() const;

    // Takes the place in the source of the declaration it replaces, marked as edited
    // (the label of a declaration without value counts as edited whole).
    void takePlaceOf(const AttributeNode &old, SourceEdit edit);
    bool hasSource() const { return sourceStart >= 0; }

private:
    static constexpr qint32 InSource = -1;
    void releaseText();
    // Line, column, the place in the source and its ";" taken from `from`.
    void copyPlace(const AttributeNode &from);

    // The source's characters (inSource), or the declaration's own array of m_length
    // characters: the name, then the value.
    const QChar *m_chars = nullptr;

public:
    std::unique_ptr<QStringList> comments; // the comments that stand before it
    // Why a browser would drop it, as the declaration check found; null when it is fine.
    std::unique_ptr<QString> finding;
    qint32 nameLength = -1; // -1: no separator, the text is the name

private:
    qint32 m_length = 0; // the own text's length, or InSource

public:
    qint32 line = 0; // where the declaration stood in its file (1-based; 0 when made here)
    qint32 column = 0;

    // Its place in the document's source text (character offsets), for a declaration
    // read from a standard-CSS file; sourceStart -1 for one made in the editor. The
    // span [sourceStart, sourceEnd) holds what stands before it since the item before
    // (blanks, comments), its name, value, and its ";" when it has one.
    qint32 sourceStart = -1;
    qint32 nameStart = 0;
    qint32 valueStart = 0; // the value without the blanks and comments around it
    qint32 valueEnd = 0;
    qint32 sourceEnd = 0;
    qint16 picture = 0;     // the value kind
    bool semicolon = false; // the source ends it with ";"
    SourceEdit edit = SourceEdit::None;
};

struct ElementNode;
using ElementNodes = std::vector<std::unique_ptr<ElementNode>>;

// A node below the root: a rule (an element node), an at-rule block, an at-rule with
// declarations or a statement. A node shows its declarations first, then its child
// nodes, in file order.
struct ElementNode
{
    ElementNode() = default;
    ElementNode(const ElementNode &) = delete;
    ElementNode &operator=(const ElementNode &) = delete;
    // Takes the nodes under it apart one by one, so that a tree of any depth is freed
    // without a destructor call per level on the stack.
    ~ElementNode();

    // The fields stand in an order that leaves no gaps between them: a large style
    // sheet holds tens of thousands of nodes.
    QString label; // the selector; or the at-rule's name and prelude ("@media print")
    std::vector<AttributeNode> attributes;
    ElementNodes children;
    ElementNode *parent = nullptr;            // null for a node under the root
    std::unique_ptr<QStringList> comments;    // before the node
    std::unique_ptr<QStringList> endComments; // at the end of its block
    int picture = 0;
    int row = 0; // position among its parent's child nodes (or under the root)
    qint32 line = 0;
    qint32 column = 0;
    int findings = 0; // declarations with a finding in it and in its child nodes, at any depth

    // Its place in the document's source text, for a node read from a standard-CSS file;
    // sourceStart -1 for one made in the editor. [sourceStart, sourceEnd) holds what
    // stands before it since the item before, its label, its block and its "}" (or ";").
    qint32 sourceStart = -1;
    qint32 labelStart = 0;
    qint32 labelEnd = 0;
    qint32 innerStart = 0; // after "{"
    qint32 tailStart = 0;  // after the last declaration or node read in its block
    qint32 innerEnd = 0;   // at "}" (the end of the text for a block it leaves open)
    qint32 sourceEnd = 0;
    NodeKind kind = NodeKind::Rule;
    bool labelEdited = false;
    bool touched = false; // something in it changed since it was read
    bool made = false;    // made or moved by the user in the tree: written where it stands, even empty

    bool hasSource() const { return sourceStart >= 0; }

    int modelRow() const { return parent ? int(parent->attributes.size()) + row : row; }
    // Whether declarations belong in it (rules and at-rules with declarations).
    bool takesDeclarations() const { return kind == NodeKind::Rule || kind == NodeKind::AtRule; }
};

// The text a standard-CSS document was read from, kept whole: nodes hold their place in
// it, and Save copies what was not edited through unchanged.
struct DocumentSource
{
    QString text;
    DocumentForm form = DocumentForm::Editor; // the form the text was read in
    qint32 tailStart = 0; // after the last top-level item: the rest is written as it stands
    QString lineBreak = QStringLiteral("\n"); // the text's most common line break, for new text
    // The text of a document read in the editor's own form, which Save does not copy
    // through: kept only because declarations read as written take their name and value
    // from it (one text instead of one per declaration). Empty for standard CSS, whose
    // `text` serves.
    QString declarationText;
    bool isStandard() const { return form == DocumentForm::Standard; }

    // The most common line break of a text (LF, CR LF or CR); LF for a text without any.
    static QString lineBreakOf(QStringView text);
};

// Calls `visit` for every node of `top` and the nodes they hold, at any depth, in file
// order (a node before the nodes it holds), by a stack of its own rather than a call per
// level; where `visit` gives false, the nodes that node holds are passed over.
template<typename Visit> void forEachNode(const ElementNodes &top, Visit &&visit)
{
    std::vector<std::pair<const ElementNodes *, size_t>> lists{{&top, 0}};
    while (!lists.empty()) {
        auto &[nodes, next] = lists.back();
        if (next == nodes->size()) {
            lists.pop_back();
            continue;
        }
        ElementNode &node = *(*nodes)[next++];
        if (visit(node) && !node.children.empty())
            lists.push_back({&node.children, 0});
    }
}

// Adds a comment to a list that may not exist yet.
void appendComment(std::unique_ptr<QStringList> &list, QString comment);

// The style sheet being edited, apart from any view: the root label, the nodes under
// the root (element nodes, at-rule blocks, statements) and below them, at any depth,
// rules, blocks and declarations; the text a standard sheet was read from; the form
// its declarations are written in; and the check's findings. Every change goes through
// the named methods below, which alone tell the observer (the item model that shows
// the sheet) what changed, before and after, in terms of items: the items under a node
// are its declarations, then its child nodes; the items under the root are the nodes
// there.
class StyleSheet
{
public:
    class Observer
    {
    public:
        // What changed in an item: its label, a declaration's finding, or whether a node
        // holds declarations with findings.
        enum class Change { Label, Finding, HeldFindings };
        virtual ~Observer() = default;
        virtual void aboutToReset() = 0;
        virtual void reset() = 0;
        // `parent` null: the items under the root.
        virtual void aboutToInsert(const ElementNode *parent, int first, int last) = 0;
        virtual void inserted() = 0;
        virtual void aboutToRemove(const ElementNode *parent, int first, int last) = 0;
        virtual void removed() = 0;
        virtual void changed(const ElementNode *parent, int first, int last, Change change) = 0;
        virtual void rootChanged() = 0;
    };

    StyleSheet() = default;
    StyleSheet(const StyleSheet &) = delete;
    StyleSheet &operator=(const StyleSheet &) = delete;
    ~StyleSheet();

    // The one observer (the item model), or none.
    void setObserver(Observer *observer) { m_observer = observer; }

    DocumentForm form() const { return m_form; }
    // Changes the form the labels are shown (and written) in.
    void setForm(DocumentForm form);

    // Reading
    const QString &rootLabel() const { return m_rootLabel; }
    int elementCount() const { return int(m_elements.size()); }
    const ElementNode &element(int position) const { return *m_elements[size_t(position)]; }
    ElementNode &element(int position) { return *m_elements[size_t(position)]; }
    const ElementNodes &elements() const { return m_elements; }
    // Comments at the end of the file, after the last node.
    const QStringList *endComments() const { return m_endComments.get(); }
    // The text the document was read from (empty for a new document).
    const DocumentSource &source() const { return m_source; }
    // The items under a node: its declarations, then its child nodes.
    static int itemCount(const ElementNode &node)
    {
        return int(node.attributes.size() + node.children.size());
    }

    // Changes
    void replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments = {});
    // A read's result, with the form its declarations came in.
    void replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments, DocumentForm form);
    // A read's result with the text it was read from.
    void replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments, DocumentForm form,
                        DocumentSource source);
    // The whole content, as a step that replaces it keeps it to put it back.
    struct Content
    {
        ElementNodes elements;
        std::unique_ptr<QStringList> endComments;
        DocumentForm form = DocumentForm::Editor;
        DocumentSource source;
    };
    // Puts `content` in place of the sheet's and gives back what was there.
    Content exchangeContent(Content content);
    void insertElement(int position, const QString &label, int picture);
    int appendElement(const QString &label, int picture);
    int appendAttribute(int element, const QString &label, int picture);
    int appendAttribute(ElementNode *node, AttributeNode attribute);
    void relabelRoot(const QString &label);
    void relabelElement(int element, const QString &label);
    void relabelNode(ElementNode *node, const QString &label);
    // A node's label and whether it counts as edited (an undo puts the source's back).
    void relabelNode(ElementNode *node, const QString &label, bool edited);
    void relabelAttribute(int element, int attribute, const QString &label);
    void relabelAttribute(ElementNode *node, int attribute, const QString &label);
    void setAttributeValue(ElementNode *node, int attribute, const QString &value);
    void deleteAttribute(int element, int attribute);
    void deleteAttribute(ElementNode *node, int attribute);
    void deleteAttributes(int element);
    void deleteAttributes(ElementNode *node);
    // Primitives of the undo steps: a declaration put back at its row, taken out, or
    // replaced whole; a node under the root taken out or put back at its position.
    void insertAttribute(ElementNode *node, int row, AttributeNode attribute);
    AttributeNode takeAttribute(ElementNode *node, int row);
    void replaceAttribute(ElementNode *node, int row, AttributeNode attribute);
    std::unique_ptr<ElementNode> takeElement(int position);
    void insertElement(int position, std::unique_ptr<ElementNode> node);
    // A node put into a block or rule at a row among its child nodes, or taken out;
    // with no parent, under the root.
    void insertNode(ElementNode *parent, int row, std::unique_ptr<ElementNode> node);
    std::unique_ptr<ElementNode> takeNode(ElementNode *parent, int row);

    // Where a node stands: its position under the root, then its position among each
    // parent's child nodes. A path outlives the node (an undo step may make it anew).
    static std::vector<int> pathOf(const ElementNode *node);
    // The same path added at the end of `paths`.
    static void appendPathOf(const ElementNode *node, std::vector<int> &paths);
    ElementNode *nodeAt(std::span<const int> path) const;

    // The declaration check's findings: the reason a browser would drop a declaration.
    // A node counts the findings it holds at any depth.
    struct FindingMark
    {
        const ElementNode *node = nullptr;
        int attribute = 0;
        QString reason;
    };
    // Sets (non-empty reason) or clears one declaration's finding.
    void setFinding(const ElementNode *node, int attribute, const QString &reason);
    // Every finding of the document at once (after a read): the others are cleared.
    void replaceFindings(std::vector<FindingMark> marks);
    int findingCount() const { return m_findingCount; }

private:
    // Marks the node and the nodes that hold it as changed since they were read.
    static void touch(ElementNode *node);
    void renumberFrom(int position);
    // The item a node is under its parent (or the root), and a change of it.
    void nodeChanged(const ElementNode *node, Observer::Change change);
    void attributeChanged(const ElementNode *node, int attribute, Observer::Change change);
    // Counts a declaration's finding coming (+1) or going (-1) in the node and its
    // ancestors; tells of the nodes whose mark appears or goes.
    void countFinding(ElementNode *node, int delta, bool announce = true);
    void clearFindings(ElementNodes &nodes);

    QString m_rootLabel = QStringLiteral("Elements");
    ElementNodes m_elements;
    std::unique_ptr<QStringList> m_endComments;
    DocumentSource m_source;
    DocumentForm m_form = DocumentForm::Editor;
    int m_findingCount = 0;
    Observer *m_observer = nullptr;
};
