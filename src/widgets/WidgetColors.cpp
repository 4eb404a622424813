#include "WidgetColors.h"

#include <QApplication>
#include <QPainter>

namespace WidgetColors {

namespace {

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The classic system colour numbers, each mapped to the palette role that plays
// the same part in a Qt desktop.
constexpr SystemRole systemRoles[] = {
    {QPalette::Active, QPalette::Mid},             // 0 scroll bar
    {QPalette::Active, QPalette::Dark},            // 1 desktop background
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Mid},           // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::WindowText},      // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Button},          // 10 active border
    {QPalette::Inactive, QPalette::Button},        // 11 inactive border
    {QPalette::Active, QPalette::Dark},            // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlighted text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Disabled, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Button},          // 25 (unused)
    {QPalette::Active, QPalette::Link},            // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight},       // 27 active caption gradient
    {QPalette::Inactive, QPalette::Mid},           // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};

} // namespace

uint32_t fromQColor(const QColor &color)
{
    return rgb(color.red(), color.green(), color.blue());
}

uint32_t resolve(uint32_t color, const QPalette &palette)
{
    if (!isSystemColor(color))
        return color & 0x00FFFFFFu;
    const uint32_t n = color & ~SystemColorFlag;
    if (n >= std::size(systemRoles))
        return 0; // an unknown system colour reads as black
    return fromQColor(palette.color(systemRoles[n].group, systemRoles[n].role));
}

uint32_t resolve(uint32_t color)
{
    return resolve(color, QApplication::palette());
}

QColor toQColor(uint32_t color, const QPalette &palette)
{
    const uint32_t c = resolve(color, palette);
    return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}

QColor toQColor(uint32_t color)
{
    return toQColor(color, QApplication::palette());
}

} // namespace WidgetColors

void WidgetColors::drawEdge(QPainter &painter, const QRect &r, const QColor &tl, const QColor &br)
{
    painter.setPen(tl);
    painter.drawLine(r.left(), r.top(), r.right(), r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
    painter.setPen(br);
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
}
