#pragma once

#include "CssTokenizer.h"
#include "SelectorCheck.h"
#include "TextMap.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringView>
#include <unordered_map>
#include <vector>

// Checks what stands around the declarations: at-rules as a browser reads them. An
// at-rule it does not know is dropped whole; a prelude it cannot read drops the rule
// (@supports, @layer, @import...) or, for a media query, makes that query never match;
// an unknown descriptor in @font-face, @counter-style, @property... is dropped, and an
// @property without its required descriptors is dropped whole. Vendor at-rules
// (@-webkit-keyframes) are each engine's own and not judged.
//
// The descriptor names come from syntax.db (table descriptors, "@font-face src") or are
// given one by one; the media features are those of Media Queries 4 and 5.
class AtRuleCheck
{
public:
    enum class Problem : quint8 { None, UnknownAtRule, InvalidPrelude, UnknownDescriptor, MissingDescriptor };
    struct Result
    {
        Problem problem = Problem::None;
        QString reason;
        explicit operator bool() const { return problem != Problem::None; }
    };

    explicit AtRuleCheck(const SelectorCheck &selectors) : m_selectors(selectors) {}

    // Reads the table descriptors(Descriptor, Syntax) of syntax.db; a missing or damaged
    // file is a Failure naming it.
    void open(const QString &path);
    // "@font-face font-display": a descriptor of an at-rule.
    void addDescriptor(QStringView atRuleAndName);

    // The at-rule's name of a label ("@media print" -> "media"), lower case, escapes
    // resolved; empty when the label is no at-rule.
    static QString nameOf(QStringView label);
    // The prelude of a label: what follows the name, trimmed.
    static QStringView preludeOf(QStringView label);

    // An at-rule's name and prelude, as a block ({...}) or a statement (;).
    Result checkAtRule(QStringView label, bool statement) const;
    // A declaration's name in the at-rule `atRule` (its name, lower case): unknown for
    // at-rules whose descriptors are known. Custom and vendor names are not judged.
    Result checkDescriptor(const QString &atRule, QStringView name) const;
    // Whether an at-rule's descriptors are known (so that unknown ones can be told).
    bool hasDescriptors(const QString &atRule) const { return m_descriptors.contains(atRule); }
    // The descriptors an at-rule must have, missing from `names`: @property needs syntax
    // and inherits, and initial-value unless its syntax is "*".
    Result checkRequired(const QString &atRule,
                         const std::vector<std::pair<QString, QString>> &descriptors) const;

    // The reason a media query list has a query that never matches; empty when all read.
    QString mediaQueryProblem(QStringView list) const;
    // The reason an @supports condition cannot be read; empty when it reads.
    QString supportsProblem(QStringView condition) const;

private:
    Result judgeAtRule(QStringView label, bool statement) const;

    const SelectorCheck &m_selectors;
    // The verdicts on labels already judged, blocks and statements apart: style sheets
    // repeat their @media preludes many times. Kept to a bounded size, and forgotten when
    // the names they were judged by change.
    mutable TextMap<Result> m_judged[2];
    mutable int m_judgedGeneration = -1;            // of the selectors' names
    QHash<QString, QSet<QString>> m_descriptors;    // at-rule name -> descriptor names
    QHash<QString, std::vector<QString>> m_ordered; // the same, for suggestions
};
