#pragma once

#include "StyleSheetModel.h"

#include <QString>
#include <QStringView>
#include <vector>

// What CSS lets each kind of node hold, for the edits that build a sheet's structure in
// the tree: where a new rule or at-rule may stand, which nodes take declarations, and
// which labels keep a node what it is when the sheet is read back. A refusal is a
// sentence the user reads; an empty text means the edit may go ahead.
namespace Structure {

// At-rules whose block holds rules (@media, @supports, @keyframes...), and those whose
// block holds declarations (@font-face, @page...), by their name with its "@" in any
// case. Vendor forms count as their standard name (@-webkit-keyframes).
bool isRuleBlockName(QStringView name);
bool isDeclarationBlockName(QStringView name);

// The conditional and grouping at-rules a style rule may hold (nesting): @media,
// @supports, @container, @layer, @scope, @starting-style.
bool isNestableName(QStringView name);

// The at-rule name of a label ("@media print" -> "@media"), as written; empty for a
// label that is no at-rule.
QStringView atRuleName(QStringView label);

// An at-rule that "New At-rule" offers: its label as first made (name and an example
// prelude the user types over) and the kind of node it is.
struct AtRuleOffer
{
    QString name;  // "@media"
    QString label; // "@media (max-width: 600px)"
    NodeKind kind;
};
const std::vector<AtRuleOffer> &atRuleOffers();

// The selector a new rule starts with in `parent` (nullptr: the sheet's top level): a
// class at the top level and in blocks, a nested selector in a rule, a keyframe in
// @keyframes.
QString newRuleLabel(const ElementNode *parent);

// Why a node of `kind` labelled `label` cannot stand directly in `parent` (nullptr: the
// top level of the sheet); empty when it can.
QString placeRefusal(const ElementNode *parent, NodeKind kind, QStringView label);

// The node that a new node of `kind` labelled `label` goes into when `selected` is the
// selected node: `selected` itself when it can hold it, else the nearest node around it
// that can, else the top level (nullptr).
ElementNode *placeFor(ElementNode *selected, NodeKind kind, QStringView label);

// Why `node` takes no declarations; empty when it does. A rule and an at-rule with
// declarations take them; a grouping at-rule inside a style rule takes them too (they
// apply to the rule's elements); other blocks hold rules only, statements nothing.
QString declarationsRefusal(const ElementNode &node);

// Why `label` would not keep `node` what it is when the sheet is read back: a rule's
// selector cannot start with "@", an at-rule's label must, and an at-rule cannot become
// one of another kind (@media holds rules, @font-face declarations). Empty when it
// keeps. What the selector or prelude says is the check's business.
QString kindRefusal(const ElementNode &node, QStringView label);

} // namespace Structure
