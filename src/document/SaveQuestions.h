#pragma once

#include "TextFile.h"

#include <QString>
#include <optional>

// What Save may have to ask before it writes a file. The windows ask the user in
// message boxes; loomcss answers by its options, without asking anyone.
class SaveQuestions
{
public:
    // The encoding and byte-order mark a text is written in.
    struct Encoding
    {
        TextFile::Encoding encoding;
        bool byteOrderMark = false;
        bool changed = false; // UTF-8 was chosen over the file's own encoding
    };

    virtual ~SaveQuestions() = default;
    // The document's file was changed (or removed) by another program since the
    // document was read or written: may Save replace (or make) it?
    virtual bool mayReplaceChangedFile(const QString &path, bool removed) = 0;
    // The file is marked read-only: may Save write it all the same (keeping its mode)?
    virtual bool mayWriteReadOnlyFile(const QString &path) = 0;
    // The encoding to write `text` in, given the one its file was read in; none to
    // write nothing.
    virtual std::optional<Encoding> encodingFor(const QString &text, TextFile::Encoding encoding,
                                                bool byteOrderMark) = 0;
};
