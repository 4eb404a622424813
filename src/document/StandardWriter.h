#pragma once

#include <QString>

class StyleSheetModel;

// The document as standard CSS. What was read from a standard-CSS file and not edited is
// copied from the text it was read from, byte for byte (blanks, comments, line breaks,
// case, what a browser ignores); an edited value, label or declaration changes only its
// own text; a deleted declaration or node takes its own text with it (and the blanks and
// comments before it). New declarations and nodes follow the file's own style: its line
// break, its indentation, one declaration a line or all on one line as their rule has
// them, a new declaration after the last one of its rule and a new node at the end of
// its block or of the sheet. A document without such a text (new, or read in the
// editor's own form) is written whole in that style: one declaration a line, two spaces
// of indentation, a blank line between top-level rules and a line break at the end.
namespace StandardWriter {

QString text(const StyleSheetModel &model);

} // namespace StandardWriter
