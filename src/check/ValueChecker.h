#pragma once

#include "DataTypes.h"
#include "Grammar.h"
#include "ValueMatcher.h"
#include "ValueTokens.h"

#include <QString>
#include <QStringView>
#include <memory>

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

    mutable Check::Grammar m_grammar;
    mutable Check::DataTypes m_types;
    mutable Check::ValueTokens m_tokens;
    mutable std::unique_ptr<Check::ValueMatcher> m_matcher;
    mutable bool m_colorsReady = false;
};
