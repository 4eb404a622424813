#pragma once

#include <QString>
#include <QStringList>

class Document;

// The document as CSS text: one line per element node that has at least one attribute
// node, in tree order: the label, " {", each attribute label followed by ";" (and one
// space unless it is the last), "}". Labels are written exactly as the tree holds them.
namespace StyleSheetWriter {

QStringList buildStyleSheetText(const Document &document);

// The lines joined by CR LF, with none after the last line; empty without declarations.
QString styleSheetText(const Document &document);

// Writes the text to the file atomically, in the document's encoding; a failed write
// leaves the old file whole and is a Failure with the reason.
void save(Document &document, const QString &path);

} // namespace StyleSheetWriter
