#pragma once

#include "CatalogueDrag.h"

#include <QModelIndex>
#include <QTreeView>

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

signals:
    void catalogueNodeDropped(const QModelIndex &target, const CatalogueDrag::Node &node);
    void currentNodeChanged(const QModelIndex &current);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
