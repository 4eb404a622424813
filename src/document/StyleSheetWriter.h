#pragma once

#include <QString>
#include <QStringList>

class Document;

// The document as CSS text, in the document's form. Standard CSS is written by
// StandardWriter (the file's own text, changed only where the user changed it). The
// editor's own form is written as follows. Rules are written one per line:
// the selector, " {", each declaration followed by ";" (and one space unless it is the
// last), "}"; declarations are name=value in the editor's own form and name: value in
// standard CSS. Rules without declarations are not written. At-rule blocks are their
// prelude, " {", their content one node per line indented by two spaces, and "}";
// statements stand on their own line, and @charset, @import, @namespace and @layer
// statements come first, before every rule. Comments stand on their own line before
// their node; inside a rule, before their declaration (or before "}" at its end).
// Lines are separated by CR LF, with none after the last.
namespace StyleSheetWriter {

QStringList buildStyleSheetText(const Document &document);

// The lines joined by CR LF, with none after the last line; empty without declarations.
QString styleSheetText(const Document &document);

// Writes the text to the file atomically, in the document's encoding; a failed write
// leaves the old file whole and is a Failure with the reason.
void save(Document &document, const QString &path);

} // namespace StyleSheetWriter
