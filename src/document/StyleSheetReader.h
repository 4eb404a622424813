#pragma once

#include "StyleSheetModel.h"
#include "TextFile.h"

#include <QString>
#include <functional>

class Catalogue;
class Document;

// Reads a style-sheet file into the document. Top-level rules whose selector names a
// catalogue element (ignoring case) or a pseudo-class node go into that node; every
// other rule, at-rule block, at-rule with declarations and statement becomes a node of
// its own after them, in file order, and nothing inside a block is merged or moved.
// Declarations keep their order, repeats included; comments ride on the node or
// declaration they stand before. The file's declarations decide the document's form:
// name: value makes it standard CSS, name=value the editor's own.
namespace StyleSheetReader {

// The most blocks a file may hold one inside another; a block nested deeper refuses the
// file ("blocks nested deeper than 2000", at its "{"). Every part of the editor handles
// this depth without running out of stack.
inline constexpr int MaxDepth = 2000;

// The message of every failed read.
extern const QString FailureMessage; // "Invalid or corrupt style sheet file"

// Why a read failed: where, and what was found there.
struct ReadError
{
    int line = 0;           // 1-based; 0 when the failure has no place in the text
    int column = 0;         // 1-based, in characters
    QString reason;         // e.g. "\"}\" closes no block", or the system's reason for a file
    bool catalogue = false; // the catalogue failed, not the user's file
    bool cancelled = false; // the user stopped the read (see Cancelled)

    // "line 812, column 3: "}" closes no block", or the reason alone without a place.
    QString describe() const;
};

// Lets pending window messages be processed during a long read (the editor passes
// its throttled one; tests and tools pass none). It may throw Cancelled to stop the
// read: the read then fails with ReadError::cancelled, and nothing has changed.
using ProcessEvents = std::function<void()>;
struct Cancelled
{
};

// Reads `path`. On success the document holds the file's rules, its current file name
// is `path` exactly as given, its encoding the file's and its form the file's; returns
// true. On failure (unreadable file, a "}" that closes no block, a colon-form
// declaration without name or value, blocks nested deeper than MaxDepth) nothing
// changes at all, `error` (when given) says why, and it returns false. The modified
// flag is never changed.
bool readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                    const ProcessEvents &processEvents = {}, ReadError *error = nullptr);
// The same, the file loaded with `options` (its size limit, progress and a chosen
// encoding; line breaks are always kept as the file has them).
bool readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                    const TextFile::LoadOptions &options, const ProcessEvents &processEvents = {},
                    ReadError *error = nullptr);

// Reads text that is already decoded (CR LF line breaks), as readStyleSheet does after
// loading; does not change the current file name or encoding.
bool readText(Document &document, Catalogue &catalogue, const QString &text,
              const ProcessEvents &processEvents = {}, ReadError *error = nullptr);

// Reads text as readText does, into `content` beside the document's (which stays as it
// is); the catalogue's nodes come from the document.
bool readContent(Document &document, Catalogue &catalogue, const QString &text,
                 StyleSheet::Content &content, const ProcessEvents &processEvents = {},
                 ReadError *error = nullptr);

// Writes the document in `form` and reads that text back, so that the document stands
// as a file in that form would: in the editor's own form with its catalogue places and
// merged rules, in standard CSS with a text of its own in the standard style. The file
// name, encoding and modified flag stay. False (and nothing changed) when the text would
// not read back.
bool convertForm(Document &document, Catalogue &catalogue, DocumentForm form, ReadError *error = nullptr);

// Reads `text` as readText would, with the same failures at the same places, but keeps
// nothing; line breaks may be CR LF or LF alone. True when readText would take the text
// (its catalogue aside: a damaged one fails only the read). Used to check text being
// edited.
bool checkText(QStringView text, ReadError *error = nullptr);
// The same, and the form the text would be read in.
bool checkText(QStringView text, ReadError *error, DocumentForm &form);

} // namespace StyleSheetReader
