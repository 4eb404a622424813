#include "ElementsTreeView.h"

#include "DeclarationSwatchDelegate.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

ElementsTreeView::ElementsTreeView(QWidget *parent) : QTreeView(parent)
{
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    // A colour declaration shows a swatch of its colour after its label.
    setItemDelegate(new DeclarationSwatchDelegate(this));
}

void ElementsTreeView::reset()
{
    QTreeView::reset();
    emit currentNodeChanged(currentIndex());
}

void ElementsTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    emit currentNodeChanged(current);
}

void ElementsTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(CatalogueDrag::MimeType)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ElementsTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    // The base class scrolls near the edges; whether a drop is welcome is ours to say,
    // and the drop handler decides what happens wherever it lands.
    QTreeView::dragMoveEvent(event);
    if (event->mimeData()->hasFormat(CatalogueDrag::MimeType)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ElementsTreeView::dropEvent(QDropEvent *event)
{
    stopAutoScroll();
    setState(NoState);
    const auto node = CatalogueDrag::fromMimeData(event->mimeData());
    if (!node) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit catalogueNodeDropped(indexAt(event->position().toPoint()), *node);
}

void ElementsTreeView::expandNodes(const QModelIndexList &nodes)
{
    scheduleDelayedItemsLayout();
    for (const QModelIndex &node : nodes)
        expand(node);
}
