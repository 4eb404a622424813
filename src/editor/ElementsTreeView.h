#pragma once

#include "CatalogueDrag.h"
#include "DocumentEdits.h"

#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QTreeView>
#include <functional>

// The element tree (`Elements`). Accepts a drag of a catalogue node anywhere over it and
// reports the drop with the node under the drop point (invalid for empty space); what
// the drop adds is the window's business. Reports every change of the current node,
// however it comes about (click, keyboard, removal of the node, a new document).
class ElementsTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit ElementsTreeView(QWidget *parent = nullptr);

    // The model may be reset (a file read, New): the current node is then none.
    void reset() override;

    // Expands every node of `nodes` (parents before their children). The rows are laid
    // out once afterwards: expanding a node of a view already laid out moves every row
    // below it, which for each of tens of thousands of nodes takes seconds.
    void expandNodes(const QModelIndexList &nodes);

    // Why a label typed into the tree would be refused, shown as it is typed.
    void setLabelCheck(std::function<QString(const QModelIndex &, const QString &)> check);

signals:
    void catalogueNodeDropped(const QModelIndex &target, const CatalogueDrag::Node &node);
    // A declaration or node of the tree (`item`) dropped on `target` (invalid: empty space).
    void itemMoved(const QModelIndex &item, const QModelIndex &target, DocumentEdits::DropPlace place);
    void currentNodeChanged(const QModelIndex &current);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    static constexpr const char *TreeItemMimeType = "application/x-loomwright-tree-item";
    bool ownDrag(const QDropEvent *event) const;
    // Where a drop at `at` over `target` puts the dragged item.
    DocumentEdits::DropPlace placeAt(const QModelIndex &target, QPoint at) const;

    QPersistentModelIndex m_dragged; // the item being dragged, while its drag runs
};
