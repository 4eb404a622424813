#include "WindowPlacement.h"

#include "RegistryStore.h"

#include <QVariant>
#include <algorithm>

namespace {

const QString PositionKey = QStringLiteral("\\Software\\Loomwright 99\\Position");

// A stored 32-bit number, read as signed (a window left of the primary screen has a
// negative position).
std::optional<int> number(const RegistryKey &key, const QString &name)
{
    const QVariant value = key.value(name);
    if (value.typeId() != QMetaType::UInt)
        return std::nullopt;
    return int(qint32(value.toUInt()));
}

} // namespace

WindowPlacement WindowPlacement::read(RegistryStore &registry)
{
    const RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, PositionKey);
    WindowPlacement placement;
    const auto left = number(key, QStringLiteral("Left"));
    const auto top = number(key, QStringLiteral("Top"));
    if (left && top)
        placement.position = QPoint(*left, *top);
    const auto width = number(key, QStringLiteral("Width"));
    const auto height = number(key, QStringLiteral("Height"));
    if (width && height && *width > 0 && *height > 0)
        placement.size = QSize(*width, *height);
    placement.maximised = number(key, QStringLiteral("Maximised")).value_or(0) != 0;
    placement.splitter = std::max(0, number(key, QStringLiteral("Splitter")).value_or(0));
    return placement;
}

void WindowPlacement::write(RegistryStore &registry) const
{
    RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, PositionKey);
    key.writeDword(QStringLiteral("Maximised"), maximised ? 1 : 0);
    if (position) {
        key.writeDword(QStringLiteral("Left"), quint32(position->x()));
        key.writeDword(QStringLiteral("Top"), quint32(position->y()));
    }
    if (size.isValid()) {
        key.writeDword(QStringLiteral("Width"), quint32(size.width()));
        key.writeDword(QStringLiteral("Height"), quint32(size.height()));
    }
    if (splitter > 0)
        key.writeDword(QStringLiteral("Splitter"), quint32(splitter));
}

QRect WindowPlacement::placedIn(const QRect &available, const QSize &firstStartSize) const
{
    const QSize wanted = (size.isValid() ? size : firstStartSize).boundedTo(available.size());
    QRect placed(QPoint(), wanted);
    if (!position) {
        placed.moveCenter(available.center());
        return placed;
    }
    placed.moveTopLeft(
        QPoint(std::clamp(position->x(), available.left(), available.right() + 1 - wanted.width()),
               std::clamp(position->y(), available.top(), available.bottom() + 1 - wanted.height())));
    return placed;
}
