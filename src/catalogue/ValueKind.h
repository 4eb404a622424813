#pragma once

#include <QStringList>

// The kind of value an attribute takes, carried as the picture of attribute nodes in
// both trees (both image lists begin with the six kind pictures at these numbers).
enum ValueKind : int {
    KindNone = 0,
    KindColor = 1,
    KindNumber = 2,
    KindUrl = 3,
    KindChoice = 4,
    KindFont = 5,
};

// The kind that an attribute's `Values` lines give: no lines (or an empty first line)
// none; a first line beginning with "<" is a marker compared whole and exactly with
// "<Color>", "<Number>", "<Font>" and "<URL>" (anything else: none); any other first
// line makes the lines a list of choices.
ValueKind kindOfValues(const QStringList &lines);
