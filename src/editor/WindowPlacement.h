#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class RegistryStore;

// Where the main window stands between runs, kept under the Position key of the
// stored settings: the frame's top-left ("Left", "Top"), the size of the window's
// client area ("Width", "Height"), whether it is maximised ("Maximised", 1 or 0) and
// the width of the element tree's panel ("Splitter"). The first start writes the
// suite's window defaults there (maximised over the whole screen); later runs read
// back what the window stored when it closed. A value that is missing or not a
// number counts as not stored.
struct WindowPlacement
{
    std::optional<QPoint> position;
    QSize size; // invalid when not stored
    bool maximised = false;
    int splitter = 0; // 0 when not stored

    static WindowPlacement read(RegistryStore &registry);
    // Writes every value; the position and size only when they are known.
    void write(RegistryStore &registry) const;

    // The window's normal geometry on a screen whose free area is `available`: the
    // stored size, or `firstStartSize` when none is stored, no larger than the free
    // area; at the stored position moved just far enough for the whole window to lie in
    // the free area (a screen that has gone or shrunk), or centred when none is stored.
    QRect placedIn(const QRect &available, const QSize &firstStartSize) const;
};
