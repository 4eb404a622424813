#pragma once

#include <QStyledItemDelegate>

// Draws the element tree's rows as usual and, in the row of a declaration whose value
// holds a colour, a small swatch of that colour after the label: the value's first
// colour, both sides of a light-dark() one.
class DeclarationSwatchDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    // Where the swatch of a row stands: after its label's text.
    QRect swatchRect(const QStyleOptionViewItem &option) const;
};
