#pragma once

#include <cstdint>

// The classic default scheme of the 25 system colours, as 0xRRGGBB, by index: the
// value 0x80000000 + n names colour n.
inline constexpr uint32_t ClassicSystemColors[] = {
    0xC0C0C0, // scroll bar
    0x008080, // background (desktop)
    0x000080, // active caption
    0x808080, // inactive caption
    0xC0C0C0, // menu
    0xFFFFFF, // window
    0x000000, // window frame
    0x000000, // menu text
    0x000000, // window text
    0xFFFFFF, // caption text
    0xC0C0C0, // active border
    0xC0C0C0, // inactive border
    0x808080, // application workspace
    0x000080, // highlight
    0xFFFFFF, // highlight text
    0xC0C0C0, // button face
    0x808080, // button shadow
    0x808080, // grey text
    0x000000, // button text
    0xC0C0C0, // inactive caption text
    0xFFFFFF, // button highlight
    0x000000, // 3D dark shadow
    0xC0C0C0, // 3D light
    0x000000, // tooltip text
    0xFFFFE1, // tooltip background
};
