#pragma once

#include <QByteArray>
#include <QString>

// Turns the catalogue's SVG pictures into the 16 x 16 PNG images that the tables and
// the "tree control" folder hold.
class PictureRenderer
{
public:
    static constexpr int Size = 16;

    // Renders the SVG file onto a transparent 16 x 16 image and gives its PNG bytes;
    // throws std::runtime_error when the file is missing or not a valid SVG picture.
    static QByteArray renderPng(const QString &svgFile);
};
