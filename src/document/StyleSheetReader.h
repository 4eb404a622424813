#pragma once

#include <QString>
#include <functional>

class Catalogue;
class Document;

// Reads a style-sheet file into the document: the user's element nodes and every
// declaration are replaced by the rules of the file; each rule's selector finds its
// catalogue element node (ignoring case), a pseudo-class node, or a new element node;
// each declaration becomes an attribute node labelled name=value with its value kind
// from the catalogue. Made for the text the writer produces, and accepts hand-written
// forms (name: value, blanks and line breaks, comments, a last declaration without ";").
namespace StyleSheetReader {

// The message of every failed read.
extern const QString FailureMessage; // "Invalid or corrupt style sheet file"

// Lets pending window messages be processed during a long read (the editor passes
// its throttled one; tests and tools pass none).
using ProcessEvents = std::function<void()>;

// Reads `path`. On success the document holds the file's rules, its current file name
// is `path` exactly as given and its encoding the file's; returns true. On failure
// (unreadable file, malformed text) nothing changes at all and it returns false.
// The modified flag is never changed.
bool readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                    const ProcessEvents &processEvents = {});

// Reads text that is already decoded (CR LF line breaks), as readStyleSheet does after
// loading; does not change the current file name or encoding.
bool readText(Document &document, Catalogue &catalogue, const QString &text,
              const ProcessEvents &processEvents = {});

} // namespace StyleSheetReader
