#include "KindPictures.h"

QString KindPictures::path(int kind)
{
    if (kind < 0 || kind >= Count)
        return {};
    return QStringLiteral(":/kinds/%1.svg").arg(kind);
}
