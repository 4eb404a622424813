#pragma once

#include <QString>

// Style-sheet files are bytes. Valid UTF-8 is decoded as UTF-8, anything else as
// Latin-1 (each byte one character, so every byte survives). A lone LF or CR becomes
// CR LF when a file is loaded. Saving writes in the encoding the text was read with.
namespace TextFile {

enum class Encoding { Utf8, Latin1 };

struct Loaded
{
    QString text;
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false;
};

// Reads a whole file; a file that cannot be read is a Failure with the reason.
Loaded load(const QString &path);

// Decodes bytes as load() does (UTF-8 when valid, else Latin-1; line breaks to CR LF).
Loaded decode(const QByteArray &bytes);

// Every lone LF or CR becomes CR LF; CR LF pairs stay.
QString normaliseLineBreaks(const QString &text);

// The bytes save() writes for a text: Latin-1 when asked for and every character fits,
// else UTF-8 (a character typed outside Latin-1 is never lost).
QByteArray encode(const QString &text, Encoding encoding, bool byteOrderMark = false);

// Writes the text atomically (QSaveFile): a failed write leaves the old file whole and
// is a Failure with the reason. Returns the encoding actually written.
Encoding save(const QString &path, const QString &text, Encoding encoding, bool byteOrderMark = false);

} // namespace TextFile
