#pragma once

#include "StyleSheet.h"

#include <QAbstractItemModel>
#include <functional>

// The style sheet as the `Elements` view shows it: a single root "Elements", the nodes
// under it, and below them, at any depth, rules, blocks and declarations. A thin view of
// its StyleSheet: it reads from the sheet and turns the sheet's changes into the
// model's signals, and it gives the marks and icons the window provides. Answers per
// index in constant time, so large style sheets scroll smoothly.
class StyleSheetModel : public QAbstractItemModel, private StyleSheet::Observer
{
    Q_OBJECT
public:
    // Root, a node (rule, block, at-rule or statement, at any depth), a declaration.
    enum Level { RootLevel = 0, ElementLevel = 1, AttributeLevel = 2 };
    static constexpr int PictureRole = Qt::UserRole + 1;
    static constexpr int KindRole = Qt::UserRole + 2; // NodeKind of a node; -1 otherwise
    // A declaration's finding (the reason a browser would drop it) or an invalid value;
    // for a node, whether it holds such a declaration at any depth.
    static constexpr int FindingRole = Qt::UserRole + 3;

    explicit StyleSheetModel(StyleSheet &sheet, QObject *parent = nullptr);
    ~StyleSheetModel() override;

    // The sheet shown; every change goes to it.
    StyleSheet &sheet() { return m_sheet; }
    const StyleSheet &sheet() const { return m_sheet; }

    // What the model shows, read from its sheet.
    DocumentForm form() const { return m_sheet.form(); }
    const QString &rootLabel() const { return m_sheet.rootLabel(); }
    int elementCount() const { return m_sheet.elementCount(); }
    const ElementNode &element(int position) const { return m_sheet.element(position); }
    ElementNode &element(int position) { return m_sheet.element(position); }
    const ElementNodes &elements() const { return m_sheet.elements(); }
    const QStringList *endComments() const { return m_sheet.endComments(); }
    const DocumentSource &source() const { return m_sheet.source(); }
    int findingCount() const { return m_sheet.findingCount(); }

    QModelIndex rootIndex() const;
    QModelIndex elementIndex(int position) const;
    QModelIndex attributeIndex(int element, int attribute) const;
    QModelIndex nodeIndex(const ElementNode *node) const;
    QModelIndex attributeIndex(const ElementNode *node, int attribute) const;
    // Level of an index: root, node or declaration; -1 for an invalid index.
    static int levelOf(const QModelIndex &index);
    // The node of a node index, or the node a declaration belongs to; null otherwise.
    ElementNode *nodeOf(const QModelIndex &index) const;
    // Position under the root of the top-level node an index belongs to; -1 for the root
    // or an invalid index.
    int elementOf(const QModelIndex &index) const;
    // The declaration an index shows, or null.
    const AttributeNode *attributeOf(const QModelIndex &index) const;

    // A declaration with a finding, and a node that holds one at any depth, show the
    // marks the window gives (a struck-out font, an icon with a warning sign); the
    // declaration's tooltip gives the reason. The mark for a role (Qt::FontRole,
    // Qt::DecorationRole) of an item with a finding, given its picture; set by the window.
    void setFindingMarkProvider(std::function<QVariant(int role, int picture)> provider);
    // A declaration's browser support for its tooltip ("Baseline: widely available since
    // 2020"), asked for only when the tooltip shows; set by the window.
    using SupportNote = std::function<QString(QStringView name, QStringView value)>;
    void setSupportNoteProvider(SupportNote provider) { m_supportNote = std::move(provider); }

    // In-place edits of labels go to this handler when one is set (the document's undo
    // door); it gives false when it refused the text. Without one, setData relabels.
    using EditHandler = std::function<bool(const QModelIndex &index, const QString &text)>;
    void setEditHandler(EditHandler handler) { m_editHandler = std::move(handler); }

    // The view's icons: picture number -> decoration (a QIcon), set by the window.
    void setDecorationProvider(std::function<QVariant(int picture)> provider);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A label was edited in place in the view; `changed` tells whether the text differs.
    void labelEdited(const QModelIndex &index, bool changed);

private:
    // StyleSheet::Observer: the sheet's changes as the model's signals.
    void aboutToReset() override;
    void reset() override;
    void aboutToInsert(const ElementNode *parent, int first, int last) override;
    void inserted() override;
    void aboutToRemove(const ElementNode *parent, int first, int last) override;
    void removed() override;
    void changed(const ElementNode *parent, int first, int last, Change change) override;
    void rootChanged() override;

    // The index of the item at `row` under `parent` (null: under the root).
    QModelIndex itemIndex(const ElementNode *parent, int row) const;
    QVariant findingMark(int role, int picture) const;

    StyleSheet &m_sheet;
    std::function<QVariant(int)> m_decoration;
    EditHandler m_editHandler;
    std::function<QVariant(int, int)> m_findingMark;
    SupportNote m_supportNote;
};
