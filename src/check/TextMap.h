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

// A cache of a bounded size: the value kept for `key`, or the one `make()` gives, kept
// from then on. A map of `limit` entries is emptied before it takes another.
template<typename Value, typename Make>
const Value &cachedIn(TextMap<Value> &map, QStringView key, size_t limit, Make make)
{
    const auto found = map.find(key);
    if (found != map.end())
        return found->second;
    if (map.size() >= limit)
        map.clear();
    Value made = make();
    return map.insert_or_assign(key.toString(), std::move(made)).first->second;
}
