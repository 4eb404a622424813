#include "PictureIcons.h"

#include "KindPictures.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

QIcon PictureIcons::decode(int picture) const
{
    const QByteArray bytes = m_images.at(picture);
    if (bytes.isEmpty())
        return {};
    QImage image;
    if (!image.loadFromData(bytes) || image.size() != QSize(PictureSize, PictureSize))
        return {};
    return QIcon(QPixmap::fromImage(image));
}

QIcon PictureIcons::nodeIcon(int picture) const
{
    const auto known = m_nodeIcons.find(picture);
    if (known != m_nodeIcons.end())
        return known->second;
    QIcon made;
    QFile file(KindPictures::nodePath(picture));
    QImage image;
    if (file.open(QIODevice::ReadOnly) && image.loadFromData(file.readAll()) &&
        image.size() == QSize(PictureSize, PictureSize))
        made = QIcon(QPixmap::fromImage(image));
    m_nodeIcons.emplace(picture, made);
    return made;
}

QIcon PictureIcons::icon(int picture) const
{
    if (picture < 0) {
        const QIcon made = nodeIcon(picture);
        return made.isNull() ? icon(0) : made;
    }
    if (picture >= m_images.count())
        return picture == 0 ? QIcon() : icon(0);
    if (size_t(picture) >= m_cache.size()) {
        m_cache.resize(size_t(m_images.count()));
        m_cached.resize(size_t(m_images.count()), false);
    }
    if (!m_cached[size_t(picture)]) {
        m_cache[size_t(picture)] = decode(picture);
        m_cached[size_t(picture)] = true;
    }
    const QIcon &made = m_cache[size_t(picture)];
    if (made.isNull() && picture != 0)
        return icon(0);
    return made;
}

QVariant PictureIcons::decoration(int picture) const
{
    const QIcon made = icon(picture);
    return made.isNull() ? QVariant() : QVariant(made);
}

QList<QByteArray> PictureIcons::kindPictures()
{
    QList<QByteArray> pictures;
    for (int i = 0; i < ImageList::BasePictures; ++i) {
        QFile file(KindPictures::path(i));
        pictures.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return pictures;
}
