#include "DeclarationSwatchDelegate.h"

#include "ColourSwatch.h"
#include "StyleSheetModel.h"

#include <QApplication>
#include <QPainter>

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
