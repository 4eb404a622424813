#pragma once

#include <QString>

// The six fixed pictures of the value kinds (0 none, 1 colour, 2 number, 3 URL,
// 4 choice, 5 font), compiled into the lw_kind_pictures library as :/kinds/0.svg to
// :/kinds/5.svg.
namespace KindPictures {

constexpr int Count = 6;

// The resource path of a kind's picture; an empty text for a number outside 0 to 5.
QString path(int kind);

} // namespace KindPictures
