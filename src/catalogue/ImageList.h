#pragma once

#include <QByteArray>
#include <QList>

// An image list: picture number -> picture bytes (an encoded 16 x 16 image). The
// views turn the numbers into icons. Every list begins with the six kind pictures
// (numbers 0 to 5); the element list's build appends one picture per element row.
class ImageList
{
public:
    static constexpr int BasePictures = 6;

    // The six kind pictures; missing ones are empty (shown as picture 0's look).
    explicit ImageList(QList<QByteArray> basePictures = {});

    int append(const QByteArray &picture);
    int count() const { return int(m_pictures.size()); }
    QByteArray at(int index) const
    {
        return index >= 0 && index < count() ? m_pictures.at(index) : QByteArray();
    }

private:
    QList<QByteArray> m_pictures;
};
