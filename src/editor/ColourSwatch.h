#pragma once

#include "ColorValue.h"

#include <QColor>
#include <QRectF>
#include <QStringView>

class QPainter;

// The small squares that show a colour value beside its text, in the code window and
// in the element tree: one colour, or both sides of a light-dark() colour.
namespace ColourSwatch {

// What a swatch shows: `light` alone, or `light` and `dark` for light-dark(). Invalid
// colours for a value without a fixed colour (currentcolor, var(), inherit).
struct Colours
{
    QColor light;
    QColor dark; // valid only for light-dark()
    bool isValid() const { return light.isValid(); }
};

// The screen's colours of a colour text the library read (gamut-mapped into sRGB, alpha
// kept); invalid for currentcolor, system colours and no colour.
Colours coloursOf(const ColorsText &colour);
// The colours of the first colour of a declaration's value (ColourSearch::Whole).
Colours valueColours(QStringView value);

// Paints a swatch into `box`: a translucent colour over a small checkerboard, light-dark()
// as two triangles (light at the top left), framed in `frame`.
void paint(QPainter &painter, const QRectF &box, const Colours &colours, const QColor &frame);

} // namespace ColourSwatch
