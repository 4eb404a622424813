#include "ColourSwatch.h"

#include "ValueText.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

QColor screenColour(const ColorsValue &colour)
{
    ColorsValue srgb{};
    if (colour.kind != COLORS_KIND_VALUE || !ColorsToScreen(&colour, &srgb))
        return {};
    const double alpha = (colour.missing & COLORS_MISSING_ALPHA) ? 0.0 : std::clamp(colour.alpha, 0.0, 1.0);
    const auto byte = [](double channel) { return int(std::lround(std::clamp(channel, 0.0, 1.0) * 255)); };
    return QColor(byte(srgb.c[0]), byte(srgb.c[1]), byte(srgb.c[2]), byte(alpha));
}

void fill(QPainter &painter, const QPainterPath &area, const QRectF &box, const QColor &colour)
{
    if (colour.alpha() < 255) {
        // A checkerboard under a translucent colour, so that its alpha shows.
        const qreal cell = std::max(2.0, box.width() / 4);
        painter.fillPath(area, Qt::white);
        painter.save();
        painter.setClipPath(area, Qt::IntersectClip);
        for (int row = 0; row * cell < box.height(); ++row)
            for (int column = row % 2; column * cell < box.width(); column += 2)
                painter.fillRect(
                    QRectF(box.left() + column * cell, box.top() + row * cell, cell, cell).intersected(box),
                    QColor(0xcc, 0xcc, 0xcc));
        painter.restore();
    }
    painter.fillPath(area, colour);
}

} // namespace

ColourSwatch::Colours ColourSwatch::coloursOf(const ColorsText &colour)
{
    if (colour.form == COLORS_FORM_SYSTEM)
        return {};
    Colours colours{screenColour(colour.color), {}};
    if (colour.form == COLORS_FORM_LIGHT_DARK) {
        colours.dark = screenColour(colour.dark);
        if (!colours.dark.isValid())
            return {};
    }
    return colours;
}

ColourSwatch::Colours ColourSwatch::valueColours(QStringView value)
{
    const ValueText::ColourPart part = ValueText::firstColour(value, ValueText::ColourSearch::Whole);
    return part.found ? coloursOf(part.colour) : Colours{};
}

void ColourSwatch::paint(QPainter &painter, const QRectF &box, const Colours &colours, const QColor &frame)
{
    if (!colours.isValid())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (colours.dark.isValid()) {
        QPainterPath light;
        light.moveTo(box.topLeft());
        light.lineTo(box.topRight());
        light.lineTo(box.bottomLeft());
        light.closeSubpath();
        QPainterPath dark;
        dark.moveTo(box.topRight());
        dark.lineTo(box.bottomRight());
        dark.lineTo(box.bottomLeft());
        dark.closeSubpath();
        fill(painter, light, box, colours.light);
        fill(painter, dark, box, colours.dark);
    } else {
        QPainterPath whole;
        whole.addRect(box);
        fill(painter, whole, box, colours.light);
    }
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.restore();
}
