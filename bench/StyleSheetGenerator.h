#pragma once

#include <QByteArray>
#include <QString>

// Flat style sheets of a given number of declarations, the same for every run.
namespace StyleSheetGenerator {

enum class Form {
    Writer,      // the writer's form: one rule per line, name=value; CR LF between rules
    HandWritten, // colon form, blanks and line breaks, comments, selector lists, mostly
                 // selectors that are not in the catalogue
};

QString generate(Form form, int declarations);

// A real style sheet of at least `bytes` bytes: the committed bootstrap.css and
// bulma.css from tests/data/real, each taken whole, in turn, as a file would hold them
// (LF line breaks, a line break after each, an @charset at the start of every
// bootstrap.css). Empty when they cannot be read.
QByteArray realStyleSheet(qint64 bytes);

} // namespace StyleSheetGenerator
