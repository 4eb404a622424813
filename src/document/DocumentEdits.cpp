#include "DocumentEdits.h"

#include "AttributeLabel.h"
#include "Catalogue.h"
#include "Document.h"
#include "DocumentCheck.h"
#include "Failure.h"
#include "Strings.h"
#include "Structure.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "ValueText.h"

#include <QUndoCommand>

namespace {

const QString NewElementLabel = QStringLiteral("New Element");
const QString NewPropertyLabel = QStringLiteral("New Property");

// The level of a node of the document's element tree; -1 for no selection or an index
// that does not belong to an element tree.
int levelIn(const StyleSheetModel *model, const QModelIndex &index)
{
    if (!index.isValid() || index.model() != model)
        return -1;
    return StyleSheetModel::levelOf(index);
}

int levelOf(const Document &document, const QModelIndex &index)
{
    return levelIn(&document.elements(), index);
}

int levelOf(const QModelIndex &index)
{
    return levelIn(qobject_cast<const StyleSheetModel *>(index.model()), index);
}

// One step of the history. A step finds its node by path, not by pointer: undoing a
// New Element and redoing it makes the node anew. After an undo or redo the document
// is asked to focus the node the step changed (not when the step is first done: the
// user is looking at it already).
class EditCommand : public QUndoCommand
{
public:
    EditCommand(Document &document, const QString &text) : QUndoCommand(text), m_document(document) {}

    void redo() final
    {
        apply(true);
        if (!m_first)
            m_document.focus(focusIndex(true));
        m_first = false;
    }
    void undo() final
    {
        apply(false);
        m_document.focus(focusIndex(false));
    }

protected:
    virtual void apply(bool forward) = 0;
    virtual QModelIndex focusIndex(bool forward) const = 0;

    StyleSheetModel &model() const { return m_document.elements(); }
    StyleSheet &sheet() const { return m_document.sheet(); }

    Document &m_document;

private:
    bool m_first = true;
};

// Declarations put into a node at a row (a drop, New Property), or taken out of it
// (Delete Property).
class AttributesCommand : public EditCommand
{
public:
    AttributesCommand(Document &document, const QString &text, ElementNode *node, int row,
                      std::vector<AttributeNode> attributes, bool insert)
        : EditCommand(document, text), m_path(StyleSheet::pathOf(node)), m_row(row),
          m_attributes(std::move(attributes)), m_insert(insert)
    {
    }

protected:
    void apply(bool forward) override
    {
        ElementNode *node = sheet().nodeAt(m_path);
        if (forward == m_insert) {
            for (size_t i = 0; i < m_attributes.size(); ++i)
                sheet().insertAttribute(node, m_row + int(i), m_attributes[i].clone());
        } else {
            for (size_t i = 0; i < m_attributes.size(); ++i)
                sheet().takeAttribute(node, m_row);
        }
    }

    QModelIndex focusIndex(bool forward) const override
    {
        const ElementNode *node = sheet().nodeAt(m_path);
        if (forward == m_insert)
            return model().attributeIndex(node, m_row);
        return model().nodeIndex(node);
    }

private:
    std::vector<int> m_path;
    int m_row;
    std::vector<AttributeNode> m_attributes;
    bool m_insert;
};

// A declaration replaced by another: a value editor's write, or its label edited in
// place. Writes of one editing session (the characters typed into one editor while one
// node stays selected) merge into one step.
class ReplaceAttributeCommand : public EditCommand
{
public:
    static constexpr int Id = 1;

    ReplaceAttributeCommand(Document &document, const QString &text, ElementNode *node, int row,
                            AttributeNode after, int session)
        : EditCommand(document, text), m_path(StyleSheet::pathOf(node)), m_row(row),
          m_before(node->attributes[size_t(row)].clone()), m_after(std::move(after)), m_session(session)
    {
    }

    int id() const override { return m_session != 0 ? Id : -1; }

    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const ReplaceAttributeCommand *>(other);
        if (next->m_session != m_session || next->m_path != m_path || next->m_row != m_row)
            return false;
        m_after = next->m_after.clone();
        // Typing that ends where it began leaves no step, and the declaration as it was
        // (unedited, its source's text again).
        if (changesNothing()) {
            setObsolete(true);
            sheet().replaceAttribute(sheet().nodeAt(m_path), m_row, m_before.clone());
        }
        return true;
    }

    // Whether a write of `session` to the node at `path` and `row` merges into this step.
    bool takes(int session, const std::vector<int> &path, int row) const
    {
        return m_session != 0 && session == m_session && path == m_path && row == m_row;
    }

    // Whether the write changes nothing (such a step is left out of the history).
    bool changesNothing() const
    {
        return m_before.name() == m_after.name() && m_before.value() == m_after.value() &&
               m_before.hasValue() == m_after.hasValue();
    }

protected:
    void apply(bool forward) override
    {
        sheet().replaceAttribute(sheet().nodeAt(m_path), m_row, (forward ? m_after : m_before).clone());
    }

    QModelIndex focusIndex(bool) const override
    {
        return model().attributeIndex(sheet().nodeAt(m_path), m_row);
    }

private:
    std::vector<int> m_path;
    int m_row;
    AttributeNode m_before;
    AttributeNode m_after;
    int m_session;
};

// A node's label edited in place.
class RelabelNodeCommand : public EditCommand
{
public:
    RelabelNodeCommand(Document &document, const QString &text, ElementNode *node, QString after)
        : EditCommand(document, text), m_path(StyleSheet::pathOf(node)), m_before(node->label),
          m_after(std::move(after)), m_editedBefore(node->labelEdited)
    {
    }

protected:
    void apply(bool forward) override
    {
        // Undone, a label read from the file is its source's text again.
        sheet().relabelNode(sheet().nodeAt(m_path), forward ? m_after : m_before, forward || m_editedBefore);
    }
    QModelIndex focusIndex(bool) const override { return model().nodeIndex(sheet().nodeAt(m_path)); }

private:
    std::vector<int> m_path;
    QString m_before;
    QString m_after;
    bool m_editedBefore;
};

// The root's label edited in place (it is not part of the style sheet, but an edit the
// user can take back like any other).
class RelabelRootCommand : public EditCommand
{
public:
    RelabelRootCommand(Document &document, QString after)
        : EditCommand(document, QStringLiteral("Edit of %1").arg(document.elements().rootLabel())),
          m_before(document.elements().rootLabel()), m_after(std::move(after))
    {
    }

protected:
    void apply(bool forward) override { sheet().relabelRoot(forward ? m_after : m_before); }
    QModelIndex focusIndex(bool) const override { return model().rootIndex(); }

private:
    QString m_before;
    QString m_after;
};

// New Element: a node appended under the root (a rule, "New Element" unless named).
class NewElementCommand : public EditCommand
{
public:
    NewElementCommand(Document &document, int position, const QString &label = NewElementLabel,
                      int picture = 0)
        : EditCommand(document, QStringLiteral("New Element")), m_position(position), m_label(label),
          m_picture(picture)
    {
    }

protected:
    void apply(bool forward) override
    {
        if (forward) {
            auto node = std::make_unique<ElementNode>();
            node->label = m_label;
            node->picture = m_picture;
            sheet().insertElement(m_position, std::move(node));
        } else {
            sheet().takeElement(m_position);
        }
    }
    QModelIndex focusIndex(bool forward) const override
    {
        return forward ? model().elementIndex(m_position) : model().rootIndex();
    }

private:
    int m_position;
    QString m_label;
    int m_picture;
};

// A rule made in a block or rule (at the end of its child nodes), or under the root.
class NewRuleCommand : public EditCommand
{
public:
    NewRuleCommand(Document &document, ElementNode *parent, QString label, int picture, NodeKind kind)
        : EditCommand(document,
                      kind == NodeKind::Rule ? QStringLiteral("New Rule") : QStringLiteral("New At-rule")),
          m_kind(kind), m_parentPath(parent ? StyleSheet::pathOf(parent) : std::vector<int>()),
          m_row(parent ? int(parent->children.size()) : document.elements().elementCount()),
          m_label(std::move(label)), m_picture(picture)
    {
    }

    ElementNode *parentNode() const { return m_parentPath.empty() ? nullptr : sheet().nodeAt(m_parentPath); }

protected:
    void apply(bool forward) override
    {
        if (forward) {
            auto node = std::make_unique<ElementNode>();
            node->kind = m_kind;
            node->label = m_label;
            node->picture = m_picture;
            node->made = true;
            sheet().insertNode(parentNode(), m_row, std::move(node));
        } else {
            sheet().takeNode(parentNode(), m_row);
        }
    }
    QModelIndex focusIndex(bool forward) const override
    {
        ElementNode *parent = parentNode();
        if (!forward)
            return parent ? model().nodeIndex(parent) : model().rootIndex();
        return model().nodeIndex(parent ? parent->children[size_t(m_row)].get() : &model().element(m_row));
    }

private:
    NodeKind m_kind;
    std::vector<int> m_parentPath;
    int m_row;
    QString m_label;
    int m_picture;
};

// A declaration or a node dragged to another place in the tree. What is moved is
// written anew where it lands, in the file's style (its old text stays behind, gone);
// undo puts the very node back where it stood, with its text.
class MoveCommand : public EditCommand
{
public:
    // A declaration: from row `fromRow` of `from` to row `toRow` of `to` (counted before
    // the move). A node: from row `fromRow` of `from` to row `toRow` of `to` (nullptr: the
    // top level).
    MoveCommand(Document &document, const QString &text, bool declaration, ElementNode *from, int fromRow,
                ElementNode *to, int toRow)
        : EditCommand(document, text), m_declaration(declaration),
          m_fromPath(from ? StyleSheet::pathOf(from) : std::vector<int>()), m_fromRow(fromRow), m_to(to),
          m_toRow(toRow)
    {
        if (from == to && fromRow < toRow)
            --m_toRow; // the row it lands on, counted once it is out
    }

protected:
    void apply(bool forward) override
    {
        StyleSheet &elements = sheet();
        ElementNode *from = nodeAt(m_fromPath);
        if (forward) {
            take(from, m_fromRow);
            if (!m_toKnown) {
                m_toKnown = true;
                m_toPath = m_to ? StyleSheet::pathOf(m_to) : std::vector<int>();
            }
            ElementNode *to = nodeAt(m_toPath);
            if (m_declaration) {
                const AttributeNode &kept = m_attribute;
                AttributeNode moved(kept.name(), kept.value(), kept.picture);
                if (kept.comments)
                    moved.comments = std::make_unique<QStringList>(*kept.comments);
                elements.insertAttribute(to, m_toRow, std::move(moved));
            } else {
                m_spans = m_node->sourceStart;
                m_made = m_node->made;
                m_node->sourceStart = -1; // written anew where it lands, where it stands
                m_node->made = true;
                elements.insertNode(to, m_toRow, std::move(m_node));
            }
        } else {
            ElementNode *to = nodeAt(m_toPath);
            if (m_declaration) {
                elements.takeAttribute(to, m_toRow);
                elements.insertAttribute(from, m_fromRow, m_attribute.clone());
            } else {
                m_node = elements.takeNode(to, m_toRow);
                m_node->sourceStart = m_spans;
                m_node->made = m_made;
                elements.insertNode(from, m_fromRow, std::move(m_node));
            }
        }
    }

    QModelIndex focusIndex(bool forward) const override
    {
        ElementNode *parent = nodeAt(forward ? m_toPath : m_fromPath);
        const int row = forward ? m_toRow : m_fromRow;
        if (m_declaration)
            return model().attributeIndex(parent, row);
        return model().nodeIndex(parent ? parent->children[size_t(row)].get() : &model().element(row));
    }

private:
    ElementNode *nodeAt(const std::vector<int> &path) const
    {
        return path.empty() ? nullptr : sheet().nodeAt(path);
    }

    void take(ElementNode *from, int row)
    {
        if (m_declaration) {
            m_attribute = sheet().takeAttribute(from, row);
        } else {
            m_node = sheet().takeNode(from, row);
        }
    }

    bool m_declaration;
    std::vector<int> m_fromPath;
    int m_fromRow;
    ElementNode *m_to; // until the first move: its path is known once the node is out
    std::vector<int> m_toPath;
    int m_toRow;
    bool m_toKnown = false;
    AttributeNode m_attribute;           // the declaration as it stood
    std::unique_ptr<ElementNode> m_node; // the node between its take and its insertion
    qint32 m_spans = -1;                 // the node's place in the source as it stood
    bool m_made = false;
};

// The document's form switched: its text in the other form, read back. The content it
// replaced is kept whole (nodes that the text leaves out, such as an empty New Element,
// included): undo and redo exchange the two.
class FormCommand : public EditCommand
{
public:
    FormCommand(Document &document, Catalogue &catalogue, DocumentForm form)
        : EditCommand(document, form == DocumentForm::Standard
                                    ? QStringLiteral("Switch to Standard CSS")
                                    : QStringLiteral("Switch to the Editor's Form")),
          m_catalogue(catalogue), m_after(form)
    {
    }

protected:
    void apply(bool) override
    {
        StyleSheet &elements = sheet();
        if (m_converted) {
            m_other = elements.exchangeContent(std::move(m_other));
            return;
        }
        // The first time: the text in the other form is read beside the content now,
        // which is kept.
        const DocumentForm was = m_document.form();
        m_document.setForm(m_after);
        const QString text = StyleSheetWriter::styleSheetText(m_document);
        m_document.setForm(was);
        StyleSheet::Content converted;
        StyleSheetReader::ReadError error;
        if (!StyleSheetReader::readContent(m_document, m_catalogue, text, converted, {}, &error))
            throw Failure(StyleSheetReader::FailureMessage + QStringLiteral(": ") + error.describe());
        converted.form = m_after; // a text without declarations reads as standard CSS
        m_other = elements.exchangeContent(std::move(converted));
        m_converted = true;
    }
    QModelIndex focusIndex(bool) const override { return {}; }

private:
    Catalogue &m_catalogue;
    DocumentForm m_after;
    StyleSheet::Content m_other; // the content the document does not show now
    bool m_converted = false;
};

QString nameOf(const AttributeNode &attribute)
{
    return attribute.name().toString();
}

// The node that takes declarations put into `node`. In a standard-CSS document the
// catalogue's nodes stand apart from the sheet's own rules: a declaration put into one
// of them goes into a new rule for that selector at the end of the sheet (written in
// lower case, as style sheets write element names), made as part of the step that the
// caller has opened as a macro.
ElementNode *ruleFor(Document &document, ElementNode *node)
{
    StyleSheetModel &model = document.elements();
    if (document.form() != DocumentForm::Standard || node->parent ||
        node->row >= document.fixedElementCount())
        return node;
    QString label = node->label;
    bool ascii = true;
    for (const QChar c : label)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        label = label.toLower();
    const int position = model.elementCount();
    document.undoStack().push(new NewElementCommand(document, position, label, node->picture));
    return &model.element(position);
}

// A node of the sheet taken out with everything in it (Del on a rule or block); undo
// puts the same node back at its place.
class DeleteNodeCommand : public EditCommand
{
public:
    DeleteNodeCommand(Document &document, const ElementNode *node)
        : EditCommand(document, QStringLiteral("Deletion of %1").arg(node->label)),
          m_parentPath(node->parent ? StyleSheet::pathOf(node->parent) : std::vector<int>()), m_row(node->row)
    {
    }

protected:
    ElementNode *parentNode() const { return m_parentPath.empty() ? nullptr : sheet().nodeAt(m_parentPath); }

    void apply(bool forward) override
    {
        if (forward)
            m_taken = sheet().takeNode(parentNode(), m_row);
        else
            sheet().insertNode(parentNode(), m_row, std::move(m_taken));
    }
    QModelIndex focusIndex(bool forward) const override
    {
        ElementNode *parent = parentNode();
        if (forward)
            return parent ? model().nodeIndex(parent) : model().rootIndex();
        return model().nodeIndex(parent ? parent->children[size_t(m_row)].get() : &model().element(m_row));
    }

private:
    std::vector<int> m_parentPath;
    int m_row;
    std::unique_ptr<ElementNode> m_taken;
};

} // namespace

QModelIndex DocumentEdits::dropOnElements(Document &document, const QModelIndex &target,
                                          const QString &attributeLabel, int kind,
                                          const QString &choiceParentLabel)
{
    const int level = levelOf(document, target);
    if (level != StyleSheetModel::ElementLevel && level != StyleSheetModel::AttributeLevel)
        return {};
    StyleSheetModel &model = document.elements();
    ElementNode *node = model.nodeOf(target);
    if (!Structure::declarationsRefusal(*node).isEmpty())
        return {}; // a block of rules or a statement holds no declarations
    // Standard CSS has no declaration without a value (a browser drops it, and the file
    // would not read back): a dropped property starts as `initial`, which every property
    // takes, until its editor gives it a value.
    const QString noValue = document.form() == DocumentForm::Standard ? QStringLiteral("initial") : QString();
    std::vector<AttributeNode> added;
    added.push_back(choiceParentLabel.isEmpty() ? AttributeNode(attributeLabel, noValue, kind)
                                                : AttributeNode(choiceParentLabel, attributeLabel, kind));
    const QString text = QStringLiteral("Drop of %1").arg(nameOf(added.front()));
    document.undoStack().beginMacro(text);
    node = ruleFor(document, node);
    const int row = int(node->attributes.size());
    document.undoStack().push(new AttributesCommand(document, text, node, row, std::move(added), true));
    document.undoStack().endMacro();
    return model.attributeIndex(node, row);
}

QModelIndex DocumentEdits::newElement(Document &document)
{
    StyleSheetModel &model = document.elements();
    const int position = model.elementCount();
    document.undoStack().push(new NewElementCommand(document, position));
    return model.elementIndex(position);
}

QModelIndex DocumentEdits::newProperty(Document &document, const QModelIndex &selected)
{
    StyleSheetModel &model = document.elements();
    ElementNode *node = nullptr;
    switch (levelOf(document, selected)) {
    case StyleSheetModel::RootLevel:
        node = model.elementCount() > 0 ? &model.element(0) : nullptr;
        break;
    case StyleSheetModel::ElementLevel:
    case StyleSheetModel::AttributeLevel:
        node = model.nodeOf(selected);
        break;
    default:
        break;
    }
    if (!node || !Structure::declarationsRefusal(*node).isEmpty())
        return {};
    std::vector<AttributeNode> added;
    added.push_back(AttributeNode::nameOnly(NewPropertyLabel));
    document.undoStack().beginMacro(QStringLiteral("New Property"));
    node = ruleFor(document, node);
    const int row = int(node->attributes.size());
    document.undoStack().push(
        new AttributesCommand(document, QStringLiteral("New Property"), node, row, std::move(added), true));
    document.undoStack().endMacro();
    return model.attributeIndex(node, row);
}

QModelIndex DocumentEdits::newRule(Document &document, const QModelIndex &context, const QString &selector,
                                   int picture, NodeKind kind)
{
    StyleSheetModel &model = document.elements();
    ElementNode *selected = nullptr;
    const int level = levelOf(document, context);
    if (level == StyleSheetModel::ElementLevel || level == StyleSheetModel::AttributeLevel) {
        ElementNode *node = model.nodeOf(context);
        // The catalogue's own nodes hold no nested rules.
        const bool catalogueNode = !node->parent && node->row < document.fixedElementCount();
        if (!catalogueNode)
            selected = node;
    }
    const QString label = selector.isEmpty() && kind == NodeKind::Rule ? QString() : selector;
    ElementNode *parent = Structure::placeFor(selected, kind, label);
    if (kind == NodeKind::Block)
        picture = BlockPicture;
    else if (kind == NodeKind::AtRule)
        picture = AtRulePicture;
    auto *command = new NewRuleCommand(
        document, parent, label.isEmpty() ? Structure::newRuleLabel(parent) : label, picture, kind);
    document.undoStack().push(command);
    ElementNode *made = parent ? parent->children.back().get() : &model.element(model.elementCount() - 1);
    return model.nodeIndex(made);
}

QString DocumentEdits::declarationsRefusal(const Document &document, const QModelIndex &selected)
{
    const int level = levelOf(document, selected);
    if (level != StyleSheetModel::ElementLevel && level != StyleSheetModel::AttributeLevel)
        return {};
    return Structure::declarationsRefusal(*document.elements().nodeOf(selected));
}

QModelIndex DocumentEdits::move(Document &document, const QModelIndex &source, const QModelIndex &target,
                                DropPlace place, QString &refusal)
{
    refusal.clear();
    StyleSheetModel &model = document.elements();
    const int sourceLevel = levelOf(document, source);
    const int targetLevel = levelOf(document, target);
    if (sourceLevel == StyleSheetModel::AttributeLevel) {
        ElementNode *from = model.nodeOf(source);
        if (targetLevel != StyleSheetModel::ElementLevel && targetLevel != StyleSheetModel::AttributeLevel) {
            refusal = QStringLiteral("A declaration goes into a rule: drop it on one.");
            return {};
        }
        ElementNode *to = model.nodeOf(target);
        int row = int(to->attributes.size());
        if (targetLevel == StyleSheetModel::AttributeLevel)
            row = place == DropPlace::Before ? target.row() : target.row() + 1;
        refusal = Structure::declarationsRefusal(*to);
        if (!refusal.isEmpty())
            return {};
        if (to == from && (row == source.row() || row == source.row() + 1))
            return {};
        const QString text = QStringLiteral("Move of %1").arg(nameOf(from->attributes[size_t(source.row())]));
        document.undoStack().beginMacro(text);
        ElementNode *rule = ruleFor(document, to);
        if (rule != to)
            row = 0;
        document.undoStack().push(new MoveCommand(document, text, true, from, source.row(), rule, row));
        document.undoStack().endMacro();
        return model.attributeIndex(rule, row > source.row() && rule == from ? row - 1 : row);
    }
    if (sourceLevel != StyleSheetModel::ElementLevel)
        return {};
    ElementNode *node = model.nodeOf(source);
    const int fixed = document.fixedElementCount();
    if (document.form() != DocumentForm::Standard) {
        refusal = QStringLiteral("In the editor's own form rules stand at the catalogue's places: switch to "
                                 "Standard CSS to move them.");
        return {};
    }
    if (!node->parent && node->row < fixed) {
        refusal = QStringLiteral("The catalogue's nodes stay where they are: drop a property on one to make "
                                 "its rule.");
        return {};
    }
    ElementNode *parent = nullptr;
    int row = model.elementCount();
    if (targetLevel == StyleSheetModel::ElementLevel) {
        ElementNode *on = model.nodeOf(target);
        if (place == DropPlace::Into) {
            parent = on;
            row = int(on->children.size());
        } else {
            parent = on->parent;
            row = on->row + (place == DropPlace::After ? 1 : 0);
        }
    } else if (targetLevel == StyleSheetModel::AttributeLevel) {
        parent = model.nodeOf(target);
        row = int(parent->children.size());
    }
    if (!parent)
        row = std::max(row, fixed);
    for (const ElementNode *around = parent; around; around = around->parent)
        if (around == node) {
            refusal = QStringLiteral("A node cannot go inside itself.");
            return {};
        }
    refusal = Structure::placeRefusal(parent, node->kind, node->label);
    if (!refusal.isEmpty())
        return {};
    if (node->parent == parent && (row == node->row || row == node->row + 1))
        return {};
    const bool later = node->parent == parent && row > node->row;
    document.undoStack().push(new MoveCommand(document, QStringLiteral("Move of %1").arg(node->label), false,
                                              node->parent, node->row, parent, row));
    const int landed = later ? row - 1 : row;
    return model.nodeIndex(parent ? parent->children[size_t(landed)].get() : &model.element(landed));
}

bool DocumentEdits::deletePropertyEnabled(const QModelIndex &selected)
{
    return levelOf(selected) == StyleSheetModel::AttributeLevel;
}

DocumentEdits::Deletion DocumentEdits::deletionFor(const Document &document, const QModelIndex &selected)
{
    const int level = levelOf(document, selected);
    if (level == StyleSheetModel::AttributeLevel)
        return Deletion::Declaration;
    if (level != StyleSheetModel::ElementLevel)
        return Deletion::None;
    const ElementNode *node = document.elements().nodeOf(selected);
    const bool catalogueNode = !node->parent && node->row < document.fixedElementCount();
    if (!catalogueNode)
        return Deletion::Rule;
    return node->attributes.empty() ? Deletion::None : Deletion::Declarations;
}

void DocumentEdits::deleteSelected(Document &document, const QModelIndex &selected)
{
    switch (deletionFor(document, selected)) {
    case Deletion::None:
        return;
    case Deletion::Declaration:
    case Deletion::Declarations:
        deleteProperty(document, selected);
        return;
    case Deletion::Rule:
        document.undoStack().push(new DeleteNodeCommand(document, document.elements().nodeOf(selected)));
        return;
    }
}

void DocumentEdits::deleteProperty(Document &document, const QModelIndex &selected)
{
    StyleSheetModel &model = document.elements();
    const int level = levelOf(document, selected);
    if (level != StyleSheetModel::ElementLevel && level != StyleSheetModel::AttributeLevel)
        return;
    ElementNode *node = model.nodeOf(selected);
    const int first = level == StyleSheetModel::AttributeLevel ? selected.row() : 0;
    const int count = level == StyleSheetModel::AttributeLevel ? 1 : int(node->attributes.size());
    if (count == 0)
        return;
    std::vector<AttributeNode> removed;
    for (int i = first; i < first + count; ++i)
        removed.push_back(node->attributes[size_t(i)].clone());
    const QString text = count == 1 ? QStringLiteral("Deletion of %1").arg(nameOf(removed.front()))
                                    : QStringLiteral("Deletion of the Declarations of %1").arg(node->label);
    document.undoStack().push(new AttributesCommand(document, text, node, first, std::move(removed), false));
}

bool DocumentEdits::writeValue(Document &document, const QModelIndex &selected, const QString &valueText,
                               int session)
{
    if (levelOf(document, selected) != StyleSheetModel::AttributeLevel)
        return false;
    ElementNode *node = document.elements().nodeOf(selected);
    const AttributeNode &old = node->attributes[size_t(selected.row())];
    // A name without value is replaced by the value.
    AttributeNode written = old.hasValue()
                                ? AttributeNode(old.name(), valueText, old.picture)
                                : AttributeNode::fromLabel(valueText, document.form(), old.picture);
    written.takePlaceOf(old, SourceEdit::Value);
    if (old.comments)
        written.comments = std::make_unique<QStringList>(*old.comments);
    pushReplace(document, node, selected.row(), std::move(written), session,
                QStringLiteral("Change of %1").arg(nameOf(old)));
    return true;
}

void DocumentEdits::pushReplace(Document &document, ElementNode *node, int row, AttributeNode attribute,
                                int session, const QString &text)
{
    auto *command = new ReplaceAttributeCommand(document, text, node, row, std::move(attribute), session);
    // A write that changes nothing is a step only when it ends a session's typing.
    QUndoStack &history = document.undoStack();
    const QUndoCommand *top = history.index() > 0 ? history.command(history.index() - 1) : nullptr;
    // The history never merges into the step a save marked clean.
    const bool merges =
        top && history.index() != history.cleanIndex() && top->id() == ReplaceAttributeCommand::Id &&
        static_cast<const ReplaceAttributeCommand *>(top)->takes(session, StyleSheet::pathOf(node), row);
    if (command->changesNothing() && !merges) {
        delete command;
        return;
    }
    history.push(command);
    document.followHistory();
}

bool DocumentEdits::editLabel(Document &document, const QModelIndex &index, const QString &text)
{
    StyleSheetModel &model = document.elements();
    switch (levelOf(document, index)) {
    case StyleSheetModel::RootLevel:
        if (text != model.rootLabel())
            document.undoStack().push(new RelabelRootCommand(document, text));
        return true;
    case StyleSheetModel::ElementLevel: {
        ElementNode *node = model.nodeOf(index);
        if (text != node->label)
            document.undoStack().push(
                new RelabelNodeCommand(document, QStringLiteral("Edit of %1").arg(node->label), node, text));
        return true;
    }
    case StyleSheetModel::AttributeLevel: {
        ElementNode *node = model.nodeOf(index);
        const AttributeNode &old = node->attributes[size_t(index.row())];
        if (text == old.label(document.form()))
            return true;
        AttributeNode edited = AttributeNode::fromLabel(text, document.form(), old.picture);
        edited.takePlaceOf(old, SourceEdit::Label);
        if (old.comments)
            edited.comments = std::make_unique<QStringList>(*old.comments);
        pushReplace(document, node, index.row(), std::move(edited), 0,
                    QStringLiteral("Edit of %1").arg(old.label(document.form())));
        return true;
    }
    default:
        return false;
    }
}

QString DocumentEdits::labelRefusal(const Document &document, const QModelIndex &index, const QString &text,
                                    const DocumentCheck *check)
{
    const int level = levelOf(document, index);
    if (level != StyleSheetModel::ElementLevel && level != StyleSheetModel::AttributeLevel)
        return {};
    const QString problem = ValueText::labelProblem(text, level == StyleSheetModel::AttributeLevel);
    if (!problem.isEmpty() || document.form() != DocumentForm::Standard)
        return problem;
    if (level == StyleSheetModel::AttributeLevel) {
        // Browsers drop a declaration without its ":" (`padding 16px`); the label New
        // Property gives a new one stands until the user names it.
        if (text.trimmed() != NewPropertyLabel &&
            !AttributeNode::fromLabel(text, DocumentForm::Standard, 0).hasValue())
            return QStringLiteral("A declaration is written name: value; browsers drop one without \":\".");
        return {};
    }
    const ElementNode &node = *document.elements().nodeOf(index);
    const QString kind = Structure::kindRefusal(node, text);
    if (!kind.isEmpty() || !check)
        return kind;
    const DeclarationCheck::Finding finding = check->checkLabel(node, text);
    if (!finding || finding.kind == DeclarationCheck::Kind::VendorSelector)
        return {};
    QString reason = finding.reason;
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    return reason + QLatin1Char('.');
}

void DocumentEdits::setForm(Document &document, Catalogue &catalogue, DocumentForm form)
{
    if (document.form() == form)
        return;
    document.undoStack().push(new FormCommand(document, catalogue, form));
}

QString DocumentEdits::numberWritten(const Document &document, const QModelIndex &index, double number,
                                     const DocumentCheck *check)
{
    const AttributeNode *attribute = document.elements().attributeOf(index);
    if (!attribute)
        return {};
    QString value = ValueText::withNumber(attribute->value(), number);
    if (document.form() != DocumentForm::Standard || !check || number == 0)
        return value;
    const ValueText::NumberPart part = ValueText::firstNumber(value);
    if (!part.found || !part.unit.isEmpty() || part.quoted)
        return value;
    const ElementNode &node = *document.elements().nodeOf(index);
    const QStringView name = attribute->name();
    // A value that holds var(), env() or attr() is decided only where it is used: the
    // number is judged alone then (`border: 0 solid var(--line)` takes no bare 1 either).
    const bool decidedWhereUsed = value.contains(u"var(", Qt::CaseInsensitive) ||
                                  value.contains(u"env(", Qt::CaseInsensitive) ||
                                  value.contains(u"attr(", Qt::CaseInsensitive);
    const QString probe = decidedWhereUsed ? value.sliced(part.start, part.length) : value;
    const qsizetype end = decidedWhereUsed ? probe.size() : part.start + part.length;
    if (check->checkValue(node, name, probe).kind != DeclarationCheck::Kind::InvalidValue)
        return value;
    for (const QLatin1StringView unit :
         {QLatin1StringView("px"), QLatin1StringView("deg"), QLatin1StringView("s")}) {
        QString withUnit = probe;
        withUnit.insert(end, unit);
        if (!check->checkValue(node, name, withUnit))
            return value.insert(part.start + part.length, unit);
    }
    return value;
}

QString DocumentEdits::numberValue(int value)
{
    return QString::number(value);
}

QString DocumentEdits::quotedValue(const QString &text)
{
    return AttributeLabel::quote(text);
}

ValueKind DocumentEdits::editorKind(const QModelIndex &selected)
{
    if (levelOf(selected) != StyleSheetModel::AttributeLevel)
        return KindNone;
    switch (selected.data(StyleSheetModel::PictureRole).toInt()) {
    case KindColor:
        return KindColor;
    case KindUrl:
        return KindUrl;
    case KindFont:
        return KindFont;
    case KindNumber:
        return KindNumber;
    case KindChoice:
        return KindChoice;
    default:
        return KindNone;
    }
}

DocumentEdits::EditorPreset DocumentEdits::presetFor(const Document &document, Catalogue &catalogue,
                                                     const QModelIndex &selected)
{
    EditorPreset preset;
    if (levelOf(document, selected) != StyleSheetModel::AttributeLevel)
        return preset;
    const AttributeNode &attribute = *document.elements().attributeOf(selected);
    const ValueKind propertyKind = editorKind(selected);
    QStringList choices;
    if (propertyKind == KindChoice)
        choices = catalogue.findAttributeRow(attribute.hasValue() ? attribute.name().toString() : QString());
    // A declaration without a value ("New Property") has nothing for the value to decide.
    preset.kind = attribute.hasValue()
                      ? ValueText::editorKind(propertyKind, attribute.value(), document.form(), choices)
                      : propertyKind;
    if (preset.kind == KindNone)
        return preset;
    preset.text = AttributeLabel::unquote(attribute.hasValue() ? attribute.value() : attribute.name());
    if (preset.kind == KindNumber) {
        const ValueText::NumberPart number = ValueText::firstNumber(attribute.value());
        preset.hasNumber = number.found;
        preset.number = number.found ? number.value : 0;
        preset.text = ValueText::numberPreset(attribute.value());
        preset.unit = number.unit;
    } else if (preset.kind == KindChoice) {
        preset.name = attribute.hasValue() ? attribute.name().toString() : QString();
        preset.choices = std::move(choices);
    }
    return preset;
}

bool DocumentEdits::hexUpperCase(const Document &document)
{
    constexpr int Limit = 200;
    int upper = 0;
    int lower = 0;
    forEachNode(document.elements().elements(), [&](const ElementNode &node) {
        for (const AttributeNode &attribute : node.attributes) {
            if (upper + lower >= Limit)
                return false;
            ValueText::countHexCase(attribute.value(), upper, lower, Limit);
        }
        return upper + lower < Limit;
    });
    return upper >= lower;
}
