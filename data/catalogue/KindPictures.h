#pragma once

#include <QString>

// The six fixed pictures of the value kinds (0 none, 1 colour, 2 number, 3 URL,
// 4 choice, 5 font), compiled into the lw_kind_pictures library as :/kinds/0.svg to
// :/kinds/5.svg.
namespace KindPictures {

constexpr int Count = 6;

// The resource path of a kind's picture; an empty text for a number outside 0 to 5.
QString path(int kind);

// The pictures of the nodes that are not rules, for the negative picture numbers the
// document gives them: -1 an at-rule block (:/nodes/block.svg), -2 an at-rule with
// declarations (:/nodes/at-rule.svg), -3 a statement (:/nodes/statement.svg); an
// empty text for any other number.
QString nodePath(int picture);

} // namespace KindPictures
