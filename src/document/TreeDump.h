#pragma once

#include <QString>

class Document;

// A plain-text view of the document, for tools and tests, one line per node in tree
// order: "MARK<TAB>LABEL", indented by one TAB per level below the root. MARK is the
// picture number of a rule or declaration (its value kind), "b" for an at-rule block,
// "a" for an at-rule with declarations, "s" for a statement and "c" for a comment (a
// comment stands before its node; at the end of a block, after the block's content).
// A node's declarations come first, one level deeper, then its child nodes. Rules
// under the root without declarations, nested rules or comments are left out. In labels, backslash,
// CR, LF and TAB are shown as \\, \r, \n and \t. Every line ends with LF.
namespace TreeDump {

QString tree(const Document &document);

// A label with backslash, CR, LF and TAB written as \\, \r, \n and \t.
QString escaped(const QString &label);

} // namespace TreeDump
