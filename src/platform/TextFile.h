#pragma once

#include "Failure.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

// Style-sheet files are bytes. Their encoding is decided as browsers decide a style
// sheet's: a byte-order mark first (UTF-8, UTF-16LE, UTF-16BE), then an
// `@charset "NAME";` at the very start of the bytes, then the pattern of NUL bytes of
// UTF-16 text without a mark, then UTF-8 when most of the bytes from 0x80 up are valid
// UTF-8; any other file is windows-1252, which holds every byte. A single-byte set named
// by an @charset is taken only when it defines every byte of the file; otherwise the
// decision goes on to the next step.
//
// Bytes of a file read as UTF-8 that are no part of valid UTF-8 are kept, each as its
// own character: the lone low surrogate U+DC00 + byte (U+DC80 to U+DCFF), which valid
// UTF-8 never decodes to, so that no character of the file can be taken for a kept byte.
// Saving as UTF-8 writes each of them back as the byte it stands for. (QString::toUtf8()
// does not: text that may hold kept bytes is made bytes through encode().)
//
// A lone LF or CR becomes CR LF when a file is loaded, unless the caller keeps line
// breaks as they are. Saving writes in the encoding the text was read with, and refuses
// a text that encoding cannot hold.
namespace TextFile {

// One of the encodings a style sheet can be read and written in: UTF-8, UTF-16LE,
// UTF-16BE, Latin-1, and the single-byte sets windows-874, windows-1250 to 1258 and
// ISO-8859-2 to 15 (those the Qt build on the machine converts).
class Encoding
{
public:
    static const Encoding Utf8;
    static const Encoding Utf16LE;
    static const Encoding Utf16BE;
    // Each byte its own character: every byte survives. The last step of the decision.
    static const Encoding Latin1;
    static const Encoding Windows1252;

    constexpr Encoding() = default; // UTF-8

    // The encoding a label in an @charset names, as browsers read labels: blanks around
    // it are ignored, letters in any case; "ISO-8859-1", "latin1" and "us-ascii" name
    // windows-1252, "ISO-8859-9" windows-1254, "utf-16" UTF-16LE. Empty for a label
    // that names no encoding this program can convert.
    static std::optional<Encoding> fromLabel(QByteArrayView label);

    // The encoding whose name() this is (letters in any case); empty for none.
    static std::optional<Encoding> fromName(QStringView name);

    // Every encoding this build reads and writes, in a fixed order: UTF-8, UTF-16LE,
    // UTF-16BE, ISO-8859-1, windows-1252, then the other single-byte sets.
    static QList<Encoding> available();

    // The name shown to the user: "UTF-8", "UTF-16LE", "ISO-8859-1", "windows-1252".
    QString name() const;

    bool isUtf16() const { return *this == Utf16LE || *this == Utf16BE; }

    friend constexpr bool operator==(Encoding, Encoding) = default;

private:
    constexpr explicit Encoding(quint8 id) : m_id(id) {}
    friend class EncodingTable;

    quint8 m_id = 0;
};

inline constexpr Encoding Encoding::Utf8{0};
inline constexpr Encoding Encoding::Utf16LE{1};
inline constexpr Encoding Encoding::Utf16BE{2};
inline constexpr Encoding Encoding::Latin1{3};
inline constexpr Encoding Encoding::Windows1252{4};

struct Loaded
{
    QString text;
    Encoding encoding = Encoding::Utf8;
    // The file began with a byte-order mark. UTF-16 without a mark is written back
    // without one.
    bool byteOrderMark = false;
    // How many bytes that are not UTF-8 a file read as UTF-8 holds (kept as U+DC80 to
    // U+DCFF, see above); the window may mark them or offer another encoding.
    qsizetype keptBytes = 0;
};

// Whether line breaks are made CR LF (as the document and the code window hold them)
// or kept as the file has them (so that an unedited text is written back byte for byte).
enum class LineBreaks { CrLf, Keep };

// The byte a character of a text read as UTF-8 stands for, when it is a kept byte: a
// lone U+DC80 to U+DCFF (one after a high surrogate is half of a pair, not a kept byte).
std::optional<uchar> keptByte(QStringView text, qsizetype at);

// A file larger than this is not read unless the caller lifts the limit (512 MB).
inline constexpr qint64 DefaultSizeLimit = qint64(512) << 20;

struct LoadOptions
{
    LineBreaks lineBreaks = LineBreaks::CrLf;
    // Larger files are a TooLarge failure before any byte is read; negative: no limit.
    qint64 sizeLimit = DefaultSizeLimit;
    // Called after each piece read (a megabyte) with the bytes read so far and the
    // file's size; returning false stops the reading with a Cancelled failure.
    std::function<bool(qint64 read, qint64 total)> progress;
    // The encoding the user chose for the file (reopening it in another one): the bytes
    // are decoded as decodeIn() does, not by the decision above.
    std::optional<Encoding> encoding;
    // When given, receives the file's bytes as they were read (shared, not copied): a
    // caller that writes them again writes what was decoded, not a later read.
    QByteArray *bytesRead = nullptr;
};

// A file above the size limit, refused before it is read, so that the window can ask
// the user and read it again without the limit.
class TooLarge : public Failure
{
public:
    TooLarge(const QString &path, qint64 size, qint64 limit);
    qint64 size() const { return m_size; }
    qint64 limit() const { return m_limit; }

private:
    qint64 m_size;
    qint64 m_limit;
};

// A reading stopped by the progress callback.
class Cancelled : public Failure
{
public:
    explicit Cancelled(const QString &path);
};

// Reads a whole file. Only a regular file is read: a folder, named pipe, device or
// socket is a Failure ("… not a regular file") before anything is read from it, so
// that nothing can block or read without end. A file that cannot be read is a Failure
// with the system's reason; one above the limit is TooLarge.
Loaded load(const QString &path, const LoadOptions &options = {});
inline Loaded load(const QString &path, LineBreaks lineBreaks)
{
    LoadOptions options;
    options.lineBreaks = lineBreaks;
    return load(path, options);
}

// The size of the regular file at the path (links followed): a Failure as load() gives
// for a missing file or one that is not regular. Lets the window ask before a load of a
// file above the limit.
qint64 regularFileSize(const QString &path);

// Decodes bytes as load() does: the encoding decided as above, the byte-order mark
// left out of the text. decode() then encode() in the same encoding and mark gives the
// same bytes, line breaks aside (with LineBreaks::Keep, the same bytes).
Loaded decode(const QByteArray &bytes, LineBreaks lineBreaks = LineBreaks::CrLf);

// Decodes bytes in the encoding the user chose (reopening a file in another encoding):
// a byte-order mark of that encoding is left out of the text; bytes the encoding does
// not define are a Failure that names the first of them (UTF-8 keeps them instead).
Loaded decodeIn(const QByteArray &bytes, Encoding encoding, LineBreaks lineBreaks = LineBreaks::CrLf);

// Every lone LF or CR becomes CR LF; CR LF pairs stay.
QString normaliseLineBreaks(const QString &text);

// The position of the first character the encoding cannot hold, or -1 when it holds
// them all. (UTF-8 holds kept bytes but no other half of a UTF-16 surrogate pair;
// UTF-16 holds all.)
qsizetype firstUnencodable(QStringView text, Encoding encoding);
inline bool canEncode(QStringView text, Encoding encoding)
{
    return firstUnencodable(text, encoding) < 0;
}

// The bytes save() writes for a text. The mark is written when asked (UTF-8 and
// UTF-16); single-byte sets have none. Kept bytes are written in UTF-8 as the bytes they
// stand for. A text holding a character the encoding cannot hold is a Failure naming
// that character and the encoding: it is never written in a mixture of encodings.
QByteArray encode(const QString &text, Encoding encoding, bool byteOrderMark = false);

// The bytes encode() gives, handed to `write` piece by piece (the mark first), so that
// a large text is never held whole a second time as bytes. A text the encoding cannot
// hold is the same Failure as encode()'s, thrown before anything is written.
void encodeInPieces(QStringView text, Encoding encoding, bool byteOrderMark,
                    const std::function<void(QByteArrayView)> &write);

// Writes the text as encode() does; a text the encoding cannot hold, or a failed write,
// leaves the old file whole and is a Failure with the reason. The file stays the same
// file: a symbolic link is followed (and stays a link); owner, group, mode, access
// control lists and extended attributes are kept. A file of the one saving with one
// name is replaced by a new one carrying all of these (written beside it, flushed, then
// renamed over it). A file with more than one name, one owned by someone else, or one
// whose attributes the new file cannot carry is written in place, so that every name
// and attribute stays; a copy of its old content is flushed beside it first and put
// back if the write fails. Returns the encoding written, always the one asked for.
Encoding save(const QString &path, const QString &text, Encoding encoding, bool byteOrderMark = false);

// Whether the file (links followed) is marked read-only: its owner has no write
// permission, even if the one saving (the superuser) could write it anyway. The window
// asks before such a file is written; save() keeps its mode. False for a missing file.
bool isReadOnly(const QString &path);

} // namespace TextFile
