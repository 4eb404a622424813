#include "PropertiesTreeView.h"

#include "CatalogueDrag.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

PropertiesTreeView::PropertiesTreeView(QWidget *parent) : QTreeView(parent)
{
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::NoDragDrop);
}

void PropertiesTreeView::mousePressEvent(QMouseEvent *event)
{
    // The press selects the node under the pointer first; the selected node then
    // decides whether a drag may begin.
    QTreeView::mousePressEvent(event);
    m_dragCandidate = QPersistentModelIndex();
    if (event->button() != Qt::LeftButton || !selectionModel())
        return;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const QModelIndex node = selected.first();
    if (model()->hasChildren(node) || !CatalogueDrag::nodeAt(node))
        return;
    m_dragCandidate = node;
    m_pressPosition = event->position().toPoint();
}

void PropertiesTreeView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragCandidate.isValid() || !(event->buttons() & Qt::LeftButton)) {
        m_dragCandidate = QPersistentModelIndex();
        QTreeView::mouseMoveEvent(event);
        return;
    }
    // While a drag may begin, moving does not drag the selection along.
    if ((event->position().toPoint() - m_pressPosition).manhattanLength() < DragDistance)
        return;
    const QModelIndex node = m_dragCandidate;
    m_dragCandidate = QPersistentModelIndex();
    if (const auto dragged = CatalogueDrag::nodeAt(node))
        startCatalogueDrag(node, CatalogueDrag::mimeData(*dragged));
}

void PropertiesTreeView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragCandidate = QPersistentModelIndex();
    QTreeView::mouseReleaseEvent(event);
}

void PropertiesTreeView::startCatalogueDrag(const QModelIndex &node, QMimeData *data)
{
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    const QPixmap picture = node.data(Qt::DecorationRole)
                                .value<QIcon>()
                                .pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16));
    if (!picture.isNull())
        drag->setPixmap(picture);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
