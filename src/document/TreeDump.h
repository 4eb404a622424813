#pragma once

#include <QString>

class Document;

// A plain-text view of the document's declarations, for tools and tests: for every
// element node that has attribute nodes, in tree order, a line "PICTURE<TAB>LABEL",
// then for each of its attribute nodes a line "<TAB>KIND<TAB>LABEL". In labels,
// backslash, CR, LF and TAB are shown as \\, \r, \n and \t. Every line ends with LF.
namespace TreeDump {

QString tree(const Document &document);

// A label with backslash, CR, LF and TAB written as \\, \r, \n and \t.
QString escaped(const QString &label);

} // namespace TreeDump
