#include "KindPictures.h"

QString KindPictures::path(int kind)
{
    if (kind < 0 || kind >= Count)
        return {};
    return QStringLiteral(":/kinds/%1.svg").arg(kind);
}

QString KindPictures::nodePath(int picture)
{
    switch (picture) {
    case -1:
        return QStringLiteral(":/nodes/block.svg");
    case -2:
        return QStringLiteral(":/nodes/at-rule.svg");
    case -3:
        return QStringLiteral(":/nodes/statement.svg");
    default:
        return {};
    }
}
