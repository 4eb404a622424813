#pragma once

#include <QString>

class Catalogue;
class Document;

// Changes a document by a piece of CSS, as a script sets a design token across many
// files: `.btn { color: #333 }` or `@media (min-width: 40em) { .nav { display: none } }`.
// Each declaration of the piece replaces the value of the last declaration of that
// property (names in any case) in the last rule with that selector in that context
// (labels compared with their blanks collapsed, as the tree shows them), or is added
// to that rule; a rule or block that is not there is added at the end of its context.
// Every change goes through the document's edits, one step of its history each, so
// that an edit in place changes only its own text.
namespace CssPatch {

// Applies `css`; false with the reason in `error` when the piece is no CSS the reader
// takes (nothing is changed then).
bool apply(Document &document, Catalogue &catalogue, const QString &css, QString *error = nullptr);

} // namespace CssPatch
