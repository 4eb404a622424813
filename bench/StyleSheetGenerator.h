#pragma once

#include <QString>

// Flat style sheets of a given number of declarations, the same for every run.
namespace StyleSheetGenerator {

enum class Form {
    Writer,      // the writer's form: one rule per line, name=value; CR LF between rules
    HandWritten, // colon form, blanks and line breaks, comments, selector lists, mostly
                 // selectors that are not in the catalogue
};

QString generate(Form form, int declarations);

} // namespace StyleSheetGenerator
