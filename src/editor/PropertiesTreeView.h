#pragma once

#include <QModelIndex>
#include <QPoint>
#include <QTreeView>

class QMimeData;

// The attribute catalogue tree (`Properties`). A node without children (an attribute
// without a list of choices, or one choice word) can be dragged onto the element tree:
// the drag begins once the pointer has moved DragDistance pixels with the left button
// held after a press, and carries the node as CatalogueDrag mime data. The root and
// choice attributes start no drag.
class PropertiesTreeView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr int DragDistance = 4;

    explicit PropertiesTreeView(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Runs the drag of `node` with `data` (taking ownership of it). Overridden by tests,
    // which cannot complete a real drag without a pointer.
    virtual void startCatalogueDrag(const QModelIndex &node, QMimeData *data);

private:
    QPersistentModelIndex m_dragCandidate; // the pressed node, while a drag may begin
    QPoint m_pressPosition;
};
