#pragma once

#include "CssTokenizer.h"

#include <QSet>
#include <QString>
#include <QStringView>
#include <vector>

// Checks a rule's selector list as a browser reads it: a selector it cannot read, or a
// pseudo-class or pseudo-element it does not know, makes it drop the whole rule. The
// known names come from syntax.db (table selectors) or are given one by one.
//
// Vendor pseudo-classes and pseudo-elements (:-moz-..., ::-webkit-...) are not errors:
// each engine keeps its own. But a list that mixes one with other selectors is dropped
// whole by every engine that lacks it, which is reported on its own (Problem::Vendor).
class SelectorCheck
{
public:
    enum class Problem : quint8 { None, Invalid, Vendor };
    struct Result
    {
        Problem problem = Problem::None;
        QString reason; // "a browser drops this whole rule: unknown pseudo-class :hovr ..."
        explicit operator bool() const { return problem != Problem::None; }
    };

    // Reads the table selectors(Name, Syntax) of syntax.db; a missing or damaged file is
    // a Failure naming it.
    void open(const QString &path);
    // A known name: ":hover", ":nth-child()" (functional ones with "()"), "::before".
    void addName(const QString &name);
    bool isEmpty() const { return m_names.isEmpty(); }

    // `nested`: the rule stands in a style rule, where a selector may begin with a
    // combinator (">", "+", "~").
    Result check(QStringView selectors, bool nested = false) const;
    // Whether a selector list reads as valid (for @supports selector(...)).
    bool isValid(QStringView selectors) const { return !check(selectors, false); }
    // Counts the names given: what was judged before a change may read otherwise now.
    int generation() const { return m_generation; }

private:
    struct Reader;
    // Whether a selector list is one of the plain ones most rules have (type, class and
    // id selectors, "*" and "&", joined by blanks and > + ~, separated by commas), which
    // a browser reads, told without the tokenizer. False also for every other list,
    // valid or not: the reader judges those.
    static bool isPlain(QStringView selectors);
    QSet<QString> m_names;
    std::vector<QString> m_list; // the names in the order given, for suggestions
    int m_generation = 0;
};
