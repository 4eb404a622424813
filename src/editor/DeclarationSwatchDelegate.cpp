#include "DeclarationSwatchDelegate.h"

#include "ColourSwatch.h"
#include "StyleSheetModel.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QToolTip>

namespace {

ColourSwatch::Colours declarationColours(const QModelIndex &index)
{
    const auto *model = qobject_cast<const StyleSheetModel *>(index.model());
    const AttributeNode *attribute = model ? model->attributeOf(index) : nullptr;
    if (!attribute)
        return {};
    return ColourSwatch::valueColours(attribute->value());
}

} // namespace

QRect DeclarationSwatchDelegate::swatchRect(const QStyleOptionViewItem &item) const
{
    const QWidget *widget = item.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const int size = std::max(6, item.fontMetrics.height() - 4);
    const int left = text.left() + std::min(text.width(), item.fontMetrics.horizontalAdvance(item.text) + 6);
    return QRect(left, text.top() + (text.height() - size) / 2, size, size);
}

void DeclarationSwatchDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const ColourSwatch::Colours colours = declarationColours(index);
    if (!colours.isValid())
        return;
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QRect box = swatchRect(item);
    painter->save();
    painter->setClipRect(option.rect);
    ColourSwatch::paint(*painter, QRectF(box).adjusted(0, 0, -1, -1), colours,
                        option.palette.color(QPalette::Text));
    painter->restore();
}

QWidget *DeclarationSwatchDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                                 const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line || !m_check)
        return editor;
    const QPalette plain = line->palette();
    const QPersistentModelIndex node(index);
    connect(line, &QLineEdit::textEdited, line, [line, node, plain, check = m_check](const QString &text) {
        const QString problem = node.isValid() ? check(node, text) : QString();
        QPalette palette = plain;
        if (!problem.isEmpty())
            palette.setColor(QPalette::Text, QColor(0xb0, 0x00, 0x20));
        line->setPalette(palette);
        line->setToolTip(problem);
        if (problem.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(line->mapToGlobal(QPoint(0, line->height())), problem, line);
    });
    return editor;
}
