#pragma once

#include "TextMap.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <optional>
#include <unordered_map>

// Browser support of the parts of CSS by their Baseline status: properties, the keywords
// and function names of a property's values, pseudo-classes and pseudo-elements, and
// at-rules. The statuses come from syntax.db (table baseline) or are given row by row.
//
// A part is Baseline widely available (in every core browser for two and a half years),
// newly available (in every core browser), or of limited availability (missing from at
// least one). A target says what a sheet may use: widely available, newly available, or
// what became Baseline in a given year or earlier. What falls outside it gets a support
// note; a part the data says nothing of is never noted.
class SupportCheck
{
public:
    // Discouraged: a part the data advises against (obsolete, superseded), whatever
    // browsers have it.
    enum class Status : quint8 { Unknown, Discouraged, Limited, Newly, Widely };

    // The core browsers, as bits of Support::missing.
    enum Browser : quint8 {
        Chrome = 1,
        ChromeAndroid = 2,
        Edge = 4,
        Firefox = 8,
        FirefoxAndroid = 16,
        Safari = 32,
        SafariIos = 64,
    };

    struct Support
    {
        Status status = Status::Unknown;
        int lowYear = 0;    // the year it became newly available; 0: not yet
        int highYear = 0;   // the year it became widely available; 0: not yet
        quint8 missing = 0; // the core browsers that lack it
        explicit operator bool() const { return status != Status::Unknown; }
    };

    struct Target
    {
        enum class Level : quint8 { Off, Widely, Newly, Year } level = Level::Off;
        int year = 0; // for Level::Year
        // "widely", "newly" or a year from 2015 on; nothing for other text.
        static std::optional<Target> parse(QStringView text);
        // The stored form parse() reads: "widely", "newly", "2020"; empty when off.
        QString key() const;
        // "Baseline widely available", "Baseline 2020".
        QString title() const;
        bool isOff() const { return level == Level::Off; }
        bool operator==(const Target &) const = default;
    };

    // Reads the table baseline(Feature, Support) of syntax.db; a missing or damaged file
    // is a Failure naming it.
    void open(const QString &path);
    // One row: the feature ("property gap", "value width stretch", "selector has",
    // "at-rule container") and its support ("widely 2017-10-17 2020-04-17",
    // "limited - - firefox firefox_android": the status, the dates it became newly and
    // widely available or "-", then the browsers that lack it). A row that does not read
    // is left out.
    void addRow(QStringView feature, QStringView support);
    bool isEmpty() const { return m_properties.empty() && m_selectors.empty() && m_atRules.empty(); }

    Support property(QStringView name) const;
    Support value(QStringView property, QStringView word) const;
    Support selector(QStringView name) const; // without its colons: "has", "before"
    Support atRule(QStringView name) const;   // without its "@"

    // Whether a part with this support may be used under the target; a part the data
    // says nothing of always may.
    static bool meets(const Support &support, const Target &target);
    // "Baseline: widely available since 2020", "Baseline: newly available since 2024",
    // "Limited availability: not in Safari".
    static QString describe(const Support &support);
    // "Safari", "Firefox, Safari on iOS": the missing browsers, a browser and its mobile
    // form named once when both lack it.
    static QString browserNames(quint8 missing);

    // The part of a declaration with the least support: its property or one of the
    // keywords or function names of its value. `what` names a value part ("stretch");
    // it is empty for the property.
    struct Part
    {
        QString what;
        Support support;
    };
    Part weakestOf(QStringView name, QStringView value) const;
    // A declaration's support for its tooltip ("Baseline: widely available since 2020",
    // "Limited availability: not in Firefox (stretch)"); empty when the data says nothing.
    QString note(QStringView name, QStringView value) const;

    // The reason a declaration, a selector list or an at-rule falls outside the target;
    // empty when it does not (or the target is off). Vendor-prefixed names are each
    // engine's own and not judged.
    QString checkDeclaration(QStringView name, QStringView value, const Target &target) const;
    QString checkSelector(QStringView selectors, const Target &target) const;
    QString checkAtRule(QStringView name, const Target &target) const;

private:
    using Table = TextMap<Support>;
    // Looks a name up as it is or, when it holds capitals, in lower case.
    static Support find(const Table &table, QStringView key);
    const Table *valuesOf(QStringView property) const;
    QString outside(const QString &part, const Support &support, const Target &target) const;

    // The reasons already given for the values of a property (by its table of keywords):
    // style sheets repeat their values many times. For one target at a time, kept to a
    // bounded size.
    struct ValueKey
    {
        const Table *table;
        QString value;
    };
    struct ValueKeyView
    {
        const Table *table;
        QStringView value;
    };
    struct ValueHash
    {
        using is_transparent = void;
        size_t operator()(const ValueKey &key) const { return qHash(key.value, size_t(key.table)); }
        size_t operator()(const ValueKeyView &key) const { return qHash(key.value, size_t(key.table)); }
    };
    struct ValueEqual
    {
        using is_transparent = void;
        template<typename A, typename B> bool operator()(const A &a, const B &b) const
        {
            return a.table == b.table && QStringView(a.value) == QStringView(b.value);
        }
    };
    mutable std::unordered_map<ValueKey, QString, ValueHash, ValueEqual> m_valueReasons;
    mutable Target m_valueTarget;

    Table m_properties;
    Table m_selectors;
    Table m_atRules;
    TextMap<Table> m_values; // property -> its keywords
};
