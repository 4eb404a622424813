#include "ElementsTreeView.h"

#include "DeclarationSwatchDelegate.h"

#include <QDrag>
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
    // The tree's own rules and declarations are dragged to other places in it; the
    // catalogue's nodes are dropped on it.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    // A colour declaration shows a swatch of its colour after its label.
    setItemDelegate(new DeclarationSwatchDelegate(this));
}

void ElementsTreeView::setLabelCheck(std::function<QString(const QModelIndex &, const QString &)> check)
{
    static_cast<DeclarationSwatchDelegate *>(itemDelegate())->setLabelCheck(std::move(check));
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
    } else if (ownDrag(event)) {
        event->setDropAction(Qt::MoveAction);
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
    } else if (ownDrag(event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ElementsTreeView::dropEvent(QDropEvent *event)
{
    stopAutoScroll();
    setState(NoState);
    if (ownDrag(event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        const QPoint at = event->position().toPoint();
        const QModelIndex target = indexAt(at);
        emit itemMoved(m_dragged, target, placeAt(target, at));
        return;
    }
    const auto node = CatalogueDrag::fromMimeData(event->mimeData());
    if (!node) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit catalogueNodeDropped(indexAt(event->position().toPoint()), *node);
}

bool ElementsTreeView::ownDrag(const QDropEvent *event) const
{
    return event->source() == this && m_dragged.isValid() && event->mimeData()->hasFormat(TreeItemMimeType);
}

DocumentEdits::DropPlace ElementsTreeView::placeAt(const QModelIndex &target, QPoint at) const
{
    using Place = DocumentEdits::DropPlace;
    if (!target.isValid())
        return Place::Into;
    const QRect row = visualRect(target);
    const int y = at.y() - row.top();
    // On a declaration: before it in its upper half, after it in its lower one. On a
    // node: before or after it near its edges, into it in between.
    if (target.flags().testFlag(Qt::ItemNeverHasChildren) &&
        m_dragged.flags().testFlag(Qt::ItemNeverHasChildren))
        return y < row.height() / 2 ? Place::Before : Place::After;
    if (y < row.height() / 4)
        return Place::Before;
    if (y >= row.height() - row.height() / 4)
        return Place::After;
    return Place::Into;
}

void ElementsTreeView::startDrag(Qt::DropActions)
{
    const QModelIndex item = currentIndex();
    if (!item.isValid() || !item.parent().isValid())
        return; // the root stays
    m_dragged = item;
    auto *drag = new QDrag(this);
    auto *data = new QMimeData;
    data->setData(TreeItemMimeType, item.data(Qt::DisplayRole).toString().toUtf8());
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
    m_dragged = QPersistentModelIndex();
}

void ElementsTreeView::expandNodes(const QModelIndexList &nodes)
{
    scheduleDelayedItemsLayout();
    for (const QModelIndex &node : nodes)
        expand(node);
}
