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

// The window benchmarks' flat sheet in the writer's form, about 10 MB: WindowRules rules,
// one per line, CR LF between them, WindowDeclarationsPerRule declarations each. One rule
// in 20 names a catalogue element, the others are selectors of their own; every value
// depends on the rule number, so that no declaration repeats one of its element. The
// first declaration of each rule is a colour, the second and third numbers, the last a
// URL.
constexpr int WindowRules = 100000;
constexpr int WindowDeclarationsPerRule = 4;
QByteArray windowSheet();

// A real style sheet of at least `bytes` bytes: the committed bootstrap.css and
// bulma.css from tests/data/real, each taken whole, in turn, as a file would hold them
// (LF line breaks, a line break after each, an @charset at the start of every
// bootstrap.css). Empty when they cannot be read.
QByteArray realStyleSheet(qint64 bytes);

} // namespace StyleSheetGenerator
