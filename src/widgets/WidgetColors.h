#pragma once

class QPainter;

#include <QColor>
#include <QPalette>
#include <QRect>
#include <cstdint>

// Conversions between the colour values the widgets carry (0x00BBGGRR, or
// 0x80000000 + n for system colour n) and Qt colours.
namespace WidgetColors {

constexpr uint32_t SystemColorFlag = 0x80000000u;
// System colour numbers used by the widgets.
constexpr uint32_t WindowFrame = SystemColorFlag + 6;
constexpr uint32_t ButtonFace = SystemColorFlag + 15;
constexpr uint32_t ButtonShadow = SystemColorFlag + 16;
constexpr uint32_t ButtonHighlight = SystemColorFlag + 20;
constexpr uint32_t DarkShadow3D = SystemColorFlag + 21;
constexpr uint32_t Light3D = SystemColorFlag + 22;

constexpr uint32_t rgb(int r, int g, int b)
{
    return uint32_t(r & 0xFF) | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF) << 16;
}

inline bool isSystemColor(uint32_t color)
{
    return (color & SystemColorFlag) != 0;
}

// The RGB value of a colour: a system colour is looked up in the given palette
// (the desktop palette by default); an RGB colour keeps its low 24 bits.
uint32_t resolve(uint32_t color, const QPalette &palette);
uint32_t resolve(uint32_t color);

QColor toQColor(uint32_t color, const QPalette &palette);
QColor toQColor(uint32_t color);
uint32_t fromQColor(const QColor &color);

// Draws a one-pixel frame just inside r: tl on the top and left, br on the bottom and
// right (a raised edge with light tl, a sunken one with dark tl).
void drawEdge(QPainter &painter, const QRect &r, const QColor &tl, const QColor &br);

} // namespace WidgetColors
