#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws the element tree's rows as usual and, in the row of a declaration whose value
// holds a colour, a small swatch of that colour after the label: the value's first
// colour, both sides of a light-dark() one.
//
// A label being edited is checked as it is typed: the reason it would be refused shows
// under the edit, and its text turns red, until it reads as what the node is.
class DeclarationSwatchDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Why `text` would be refused as the label of the node `index` (empty: taken).
    using LabelCheck = std::function<QString(const QModelIndex &index, const QString &text)>;
    void setLabelCheck(LabelCheck check) { m_check = std::move(check); }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    // Where the swatch of a row stands: after its label's text.
    QRect swatchRect(const QStyleOptionViewItem &option) const;

    LabelCheck m_check;
};
