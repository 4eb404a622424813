#include "ImageList.h"

ImageList::ImageList(QList<QByteArray> basePictures) : m_pictures(std::move(basePictures))
{
    m_pictures.resize(BasePictures);
}

int ImageList::append(const QByteArray &picture)
{
    m_pictures.append(picture);
    return count() - 1;
}
