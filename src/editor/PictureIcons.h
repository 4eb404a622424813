#pragma once

#include "ImageList.h"

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QVariant>
#include <map>
#include <vector>

// Turns the picture numbers of an image list into the icons the trees show. A picture
// that is empty, cannot be decoded or is not 16 x 16 shows picture 0's look. Icons are
// made on first use and kept: pictures never change once appended.
class PictureIcons
{
public:
    static constexpr int PictureSize = 16;

    explicit PictureIcons(const ImageList &images) : m_images(images) {}

    // A negative number is the picture of an at-rule block, an at-rule with
    // declarations or a statement.
    QIcon icon(int picture) const;
    // The icon as a view's decoration (an empty variant when there is none).
    QVariant decoration(int picture) const;

    // The six kind pictures (numbers 0 to 5) from the program's resources
    // ":/kinds/<n>.svg"; a missing one is empty.
    static QList<QByteArray> kindPictures();

private:
    // The decoded picture, or a null icon when it is unusable.
    QIcon decode(int picture) const;

    // The picture of a node that is not a rule (a negative number; see KindPictures).
    QIcon nodeIcon(int picture) const;

    const ImageList &m_images;
    mutable std::map<int, QIcon> m_nodeIcons;
    mutable std::vector<QIcon> m_cache;
    mutable std::vector<bool> m_cached;
};
