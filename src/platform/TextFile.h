#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

// Style-sheet files are bytes. Their encoding is decided as browsers decide a style
// sheet's: a byte-order mark first (UTF-8, UTF-16LE, UTF-16BE), then an
// `@charset "NAME";` at the very start of the bytes, then valid UTF-8; any other file
// is Latin-1 (each byte one character, so every byte survives). An encoding named by a
// mark or an @charset is taken only when the bytes decode in it without a fault;
// otherwise the decision goes on to the next step. A lone LF or CR becomes CR LF when
// a file is loaded. Saving writes in the encoding the text was read with, and refuses
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
    // The file began with a byte-order mark (always so for UTF-16).
    bool byteOrderMark = false;
};

// Reads a whole file; a file that cannot be read is a Failure with the system's reason.
Loaded load(const QString &path);

// Decodes bytes as load() does: the encoding decided as above, the byte-order mark
// left out of the text, line breaks made CR LF. decode() then encode() in the same
// encoding and mark gives the same bytes, line breaks aside.
Loaded decode(const QByteArray &bytes);

// Every lone LF or CR becomes CR LF; CR LF pairs stay.
QString normaliseLineBreaks(const QString &text);

// The position of the first character the encoding cannot hold, or -1 when it holds
// them all. (UTF-8 cannot hold half of a UTF-16 surrogate pair; UTF-16 holds all.)
qsizetype firstUnencodable(QStringView text, Encoding encoding);
inline bool canEncode(QStringView text, Encoding encoding)
{
    return firstUnencodable(text, encoding) < 0;
}

// The bytes save() writes for a text. UTF-16 is always written with its byte-order
// mark (without one the file would not be read as UTF-16 again); the mark is only
// written for UTF-8 when asked; single-byte sets have none. A text holding a character
// the encoding cannot hold is a Failure naming that character and the encoding: it is
// never written in a mixture of encodings.
QByteArray encode(const QString &text, Encoding encoding, bool byteOrderMark = false);

// The bytes encode() gives, handed to `write` piece by piece (the mark first), so that
// a large text is never held whole a second time as bytes. A text the encoding cannot
// hold is the same Failure as encode()'s, thrown before anything is written.
void encodeInPieces(QStringView text, Encoding encoding, bool byteOrderMark,
                    const std::function<void(QByteArrayView)> &write);

// Writes the text as encode() does, atomically (QSaveFile): a failed write, or a text
// the encoding cannot hold, leaves the old file whole and is a Failure with the reason.
// Returns the encoding written, which is always the one asked for.
Encoding save(const QString &path, const QString &text, Encoding encoding, bool byteOrderMark = false);

} // namespace TextFile
