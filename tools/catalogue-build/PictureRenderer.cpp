#include "PictureRenderer.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <stdexcept>

QByteArray PictureRenderer::renderPng(const QString &svgFile)
{
    if (!QFile::exists(svgFile))
        throw std::runtime_error(QStringLiteral("%1: picture not found").arg(svgFile).toStdString());
    QSvgRenderer renderer(svgFile);
    if (!renderer.isValid())
        throw std::runtime_error(QStringLiteral("%1: not a valid SVG picture").arg(svgFile).toStdString());
    QImage image(Size, Size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, Size, Size));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error(QStringLiteral("%1: cannot encode as PNG").arg(svgFile).toStdString());
    return png;
}
