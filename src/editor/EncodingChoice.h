#pragma once

#include "SaveQuestions.h"
#include "TextFile.h"

#include <QString>
#include <optional>

class QWidget;

// The encoding a text is saved in. A file is written in the encoding it was read in;
// when the text holds a character that encoding cannot hold, the user is asked before
// anything is written whether to save it as UTF-8 instead, so that no file is ever
// written in a mixture of encodings and no character is lost.
namespace EncodingChoice {

using Choice = SaveQuestions::Encoding;

// The encoding and mark to save `text` in; empty when the user cancelled. A text that
// begins with an @charset statement gains a UTF-8 byte-order mark when it becomes
// UTF-8, since the mark decides before the statement when the file is read again.
std::optional<Choice> forSave(QWidget *parent, const QString &text, TextFile::Encoding encoding,
                              bool byteOrderMark);

} // namespace EncodingChoice
