#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <unordered_map>

// A map keyed by text that is looked up by a view of a text (a slice of a style sheet's
// source) without making a QString of it first.
struct TextHash
{
    using is_transparent = void;
    size_t operator()(QStringView text) const { return qHash(text); }
};

struct TextEqual
{
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const { return a == b; }
};

template<typename Value> using TextMap = std::unordered_map<QString, Value, TextHash, TextEqual>;
