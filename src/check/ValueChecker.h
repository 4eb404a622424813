#pragma once

#include "DataTypes.h"
#include "Grammar.h"
#include "ValueMatcher.h"
#include "ValueTokens.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <unordered_map>

// Decides whether a browser would keep a declaration: the property must be known and
// its value must match the property's value syntax. The syntaxes come from syntax.db
// (or are given row by row); each property's syntax is compiled the first time the
// property is checked and kept. Values the check cannot decide are never reported.
//
// One checker is used from one thread at a time: it keeps its compiled syntaxes and its
// working memory between calls.
class ValueChecker
{
public:
    enum class Verdict { Valid, Invalid, UnknownProperty, Undecided };
    struct Result
    {
        Verdict verdict = Verdict::Valid;
        QString reason; // empty for Valid
    };

    ValueChecker();
    ~ValueChecker();
    ValueChecker(const ValueChecker &) = delete;
    ValueChecker &operator=(const ValueChecker &) = delete;

    // Reads the tables properties(Property, Syntax) and syntaxes(Name, Syntax) of the
    // given file; a missing or damaged file is a Failure naming it.
    void open(const QString &path);
    // Rows given directly: a property's syntax, or a named syntax used as <name>.
    void addProperty(const QString &name, const QString &syntax);
    void addNamedSyntax(const QString &name, const QString &syntax);

    bool isKnownProperty(QStringView property) const;
    // The properties in the order given, lower case.
    const QStringList &propertyNames() const { return m_grammar.propertyNames(); }
    // Compiles every syntax and names those that cannot be read (properties as given,
    // named syntaxes as <name>); such a syntax is never used to report a value.
    QStringList unreadableSyntaxes() const { return m_grammar.unreadable(); }
    Result check(QStringView property, QStringView value) const;
    // Whether a word names a colour (red, Canvas, currentcolor...), in any case.
    bool isColorKeyword(QStringView word) const;
    // The known property closest to an unknown name, within two edits; empty if none.
    QString suggestion(QStringView property) const;

private:
    void prepareColors() const;
    // The property name in lower case, in working memory kept between calls.
    const QString &lowerName(QStringView property) const;
    Result checkValue(int root, const QString &name, QStringView value) const;

    // Verdicts already given, per property syntax and value: style sheets repeat the same
    // values many times. Kept to a bounded size.
    struct VerdictKey
    {
        int root;
        QString value;
    };
    struct VerdictKeyView
    {
        int root;
        QStringView value;
    };
    struct VerdictHash
    {
        using is_transparent = void;
        size_t operator()(const VerdictKey &key) const { return hash(key.root, key.value); }
        size_t operator()(const VerdictKeyView &key) const { return hash(key.root, key.value); }
        static size_t hash(int root, QStringView value) { return qHash(value, size_t(root)); }
    };
    struct VerdictEqual
    {
        using is_transparent = void;
        template<typename A, typename B> bool operator()(const A &a, const B &b) const
        {
            return a.root == b.root && QStringView(a.value) == QStringView(b.value);
        }
    };
    static constexpr size_t VerdictCacheLimit = 1 << 16;
    static constexpr int CacheWindow = 4096;
    static constexpr int CacheRest = 1 << 16;
    mutable int m_cacheLookups = 0;
    mutable int m_cacheHits = 0;
    mutable int m_cacheResting = 0;
    mutable std::unordered_map<VerdictKey, Result, VerdictHash, VerdictEqual> m_verdicts;
    mutable QHash<QString, Result> m_unknownNames; // verdicts on names not in the catalogue
    mutable QString m_name;

    mutable Check::Grammar m_grammar;
    mutable Check::DataTypes m_types;
    mutable Check::ValueTokens m_tokens;
    mutable std::unique_ptr<Check::ValueMatcher> m_matcher;
    mutable bool m_colorsReady = false;
};
