#include "TextFile.h"

#include "Failure.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace TextFile {

// The encodings by id: the name shown, the name Qt converts by (single-byte sets
// other than Latin-1 and windows-1252) and the labels an @charset may give for it,
// as browsers know them, in lower case and separated by blanks.
struct EncodingInfo
{
    const char *name;
    const char *qtName;
    const char *labels;
};

constexpr EncodingInfo Encodings[] = {
    {"UTF-8", nullptr, "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"},
    {"UTF-16LE", nullptr, "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"},
    {"UTF-16BE", nullptr, "unicodefffe utf-16be"},
    // Latin-1 proper is only ever the last step of the decision: browsers read every
    // label of it as windows-1252.
    {"ISO-8859-1", nullptr, ""},
    {"windows-1252", nullptr,
     "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 iso88591 "
     "iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252"},
    {"ISO-8859-2", "ISO-8859-2",
     "csisolatin2 iso-8859-2 iso-ir-101 iso8859-2 iso88592 iso_8859-2 iso_8859-2:1987 l2 latin2"},
    {"ISO-8859-3", "ISO-8859-3",
     "csisolatin3 iso-8859-3 iso-ir-109 iso8859-3 iso88593 iso_8859-3 iso_8859-3:1988 l3 latin3"},
    {"ISO-8859-4", "ISO-8859-4",
     "csisolatin4 iso-8859-4 iso-ir-110 iso8859-4 iso88594 iso_8859-4 iso_8859-4:1988 l4 latin4"},
    {"ISO-8859-5", "ISO-8859-5",
     "csisolatincyrillic cyrillic iso-8859-5 iso-ir-144 iso8859-5 iso88595 iso_8859-5 iso_8859-5:1988"},
    {"ISO-8859-6", "ISO-8859-6",
     "arabic asmo-708 csiso88596e csiso88596i csisolatinarabic ecma-114 iso-8859-6 iso-8859-6-e "
     "iso-8859-6-i iso-ir-127 iso8859-6 iso88596 iso_8859-6 iso_8859-6:1987"},
    {"ISO-8859-7", "ISO-8859-7",
     "csisolatingreek ecma-118 elot_928 greek greek8 iso-8859-7 iso-ir-126 iso8859-7 iso88597 iso_8859-7 "
     "iso_8859-7:1987 sun_eu_greek"},
    {"ISO-8859-8", "ISO-8859-8",
     "csiso88598e csisolatinhebrew hebrew iso-8859-8 iso-8859-8-e iso-ir-138 iso8859-8 iso88598 iso_8859-8 "
     "iso_8859-8:1988 visual"},
    {"ISO-8859-10", "ISO-8859-10", "csisolatin6 iso-8859-10 iso-ir-157 iso8859-10 iso885910 l6 latin6"},
    {"ISO-8859-13", "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {"ISO-8859-14", "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {"ISO-8859-15", "ISO-8859-15", "csisolatin9 iso-8859-15 iso8859-15 iso885915 iso_8859-15 l9"},
    {"ISO-8859-16", "ISO-8859-16", "iso-8859-16"},
    {"windows-874", "windows-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"},
    {"windows-1250", "windows-1250", "cp1250 windows-1250 x-cp1250"},
    {"windows-1251", "windows-1251", "cp1251 windows-1251 x-cp1251"},
    {"windows-1253", "windows-1253", "cp1253 windows-1253 x-cp1253"},
    {"windows-1254", "windows-1254",
     "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 l5 latin5 "
     "windows-1254 x-cp1254"},
    {"windows-1255", "windows-1255", "cp1255 windows-1255 x-cp1255"},
    {"windows-1256", "windows-1256", "cp1256 windows-1256 x-cp1256"},
    {"windows-1257", "windows-1257", "cp1257 windows-1257 x-cp1257"},
    {"windows-1258", "windows-1258", "cp1258 windows-1258 x-cp1258"},
};
constexpr int EncodingCount = int(std::size(Encodings));

// A single-byte set as two tables: byte to character (bytes the set leaves undefined
// marked), and character to byte for the characters outside ASCII.
struct SingleByteSet
{
    bool available = false;
    std::array<char16_t, 256> toUnicode{};
    std::array<bool, 256> defined{};
    std::vector<std::pair<char16_t, uchar>> fromUnicode; // sorted by character
};

// windows-1252 at 0x80-0x9F; every other byte is the Latin-1 character of its code.
// The five bytes the set leaves free stand for the C1 controls of their code, as in
// browsers, so that every byte survives.
constexpr char16_t Windows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class EncodingTable
{
public:
    static Encoding byId(int id) { return Encoding(quint8(id)); }
    static int id(Encoding encoding) { return encoding.m_id; }

    // The table of a single-byte set other than Latin-1; built once, the first time any
    // is needed. A set Qt cannot convert is not available; a byte that Qt does not decode,
    // or whose character Qt does not encode back to that byte, is left undefined.
    static const SingleByteSet &singleByte(Encoding encoding)
    {
        static const std::vector<SingleByteSet> sets = build();
        return sets[encoding.m_id];
    }

private:
    static std::vector<SingleByteSet> build()
    {
        std::vector<SingleByteSet> sets(EncodingCount);
        for (int n = 0; n < EncodingCount; ++n) {
            SingleByteSet &set = sets[n];
            if (n == id(Encoding::Windows1252)) {
                for (int b = 0; b < 256; ++b)
                    set.toUnicode[b] = b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b);
                set.defined.fill(true);
                set.available = true;
            } else if (Encodings[n].qtName) {
                fillFromQt(set, Encodings[n].qtName);
            }
            if (!set.available)
                continue;
            for (int b = 0x80; b < 256; ++b)
                if (set.defined[b])
                    set.fromUnicode.emplace_back(set.toUnicode[b], uchar(b));
            std::sort(set.fromUnicode.begin(), set.fromUnicode.end());
        }
        return sets;
    }

    static void fillFromQt(SingleByteSet &set, const char *qtName)
    {
        QStringDecoder decoder(qtName, QStringConverter::Flag::Stateless);
        QStringEncoder encoder(qtName, QStringConverter::Flag::Stateless);
        if (!decoder.isValid() || !encoder.isValid())
            return;
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            decoder.resetState();
            const QString character = decoder.decode(QByteArrayView(&byte, 1));
            if (decoder.hasError() || character.size() != 1 || character[0] == QChar::ReplacementCharacter)
                continue;
            encoder.resetState();
            const QByteArray back = encoder.encode(character);
            if (encoder.hasError() || back != QByteArrayView(&byte, 1))
                continue;
            set.toUnicode[b] = character[0].unicode();
            set.defined[b] = true;
        }
        // The decision reads an @charset in ASCII: a set that is not ASCII below 0x80
        // is not one of ours.
        for (int b = 0; b < 0x80; ++b)
            if (!set.defined[b] || set.toUnicode[b] != b)
                return;
        set.available = true;
    }
};

} // namespace TextFile

using TextFile::Encoding;
using TextFile::EncodingTable;

namespace {

bool isSingleByteSet(Encoding encoding)
{
    return encoding != Encoding::Utf8 && !encoding.isUtf16() && encoding != Encoding::Latin1;
}

constexpr std::pair<QByteArrayView, Encoding> ByteOrderMarks[] = {
    {QByteArrayView("\xEF\xBB\xBF"), Encoding::Utf8},
    {QByteArrayView("\xFF\xFE"), Encoding::Utf16LE},
    {QByteArrayView("\xFE\xFF"), Encoding::Utf16BE},
};

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

constexpr char16_t KeptByteBase = 0xDC00;

bool isKeptByteUnit(char16_t c)
{
    return c >= KeptByteBase + 0x80 && c <= KeptByteBase + 0xFF;
}

// The length of the valid UTF-8 sequence that starts at s[i] (a byte from 0x80 up), or
// 0 when none does: no overlong form, no surrogate, nothing above U+10FFFF.
int utf8SequenceLength(const uchar *s, qsizetype i, qsizetype n)
{
    const uchar lead = s[i];
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (n - i < length || s[i + 1] < low || s[i + 1] > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if (s[i + k] < 0x80 || s[i + k] > 0xBF)
            return 0;
    return length;
}

// Decodes a run of bytes from 0x80 up one sequence at a time: each valid sequence is
// its character, each other byte is kept as U+DC00 + byte. Returns the end of the
// output; counts the bytes of valid sequences and the bytes kept.
char16_t *decodeRunKeepingBytes(const uchar *s, qsizetype n, char16_t *out, qsizetype &valid, qsizetype &kept)
{
    for (qsizetype i = 0; i < n;) {
        const int length = utf8SequenceLength(s, i, n);
        if (length == 0) {
            *out++ = char16_t(KeptByteBase + s[i]);
            ++kept;
            ++i;
            continue;
        }
        char32_t code = s[i] & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            code = (code << 6) | (s[i + k] & 0x3F);
        if (code >= 0x10000) {
            *out++ = QChar::highSurrogate(code);
            *out++ = QChar::lowSurrogate(code);
        } else {
            *out++ = char16_t(code);
        }
        valid += length;
        i += length;
    }
    return out;
}

struct Utf8Text
{
    QString text;
    qsizetype validBytes = 0; // bytes from 0x80 up that are part of valid sequences
    qsizetype keptBytes = 0;  // bytes that are not
};

// Decodes UTF-8, keeping the bytes that are not valid UTF-8 (see keptByte()), and makes
// every lone LF or CR a CR LF in the same pass unless line breaks are kept (so that a
// large file is not held a second time for its line breaks). ASCII bytes are copied
// here; each run of bytes from 0x80 up is decoded whole by Qt, and one by one when it is
// not valid. No UTF-8 sequence holds an ASCII byte, so the bytes are valid UTF-8 exactly
// when each such run is, and the text is the one decoding them all at once gives.
Utf8Text decodeUtf8(QByteArrayView bytes, TextFile::LineBreaks lineBreaks)
{
    const bool makeCrLf = lineBreaks == TextFile::LineBreaks::CrLf;
    const uchar *const s = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    // Each byte gives at most one character, and a line break at most one more.
    qsizetype breaks = 0;
    if (makeCrLf)
        for (qsizetype i = 0; i < n; ++i)
            breaks += (s[i] == '\n') | (s[i] == '\r');
    Utf8Text result;
    result.text = QString(n + breaks, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(result.text.data());
    char16_t *out = begin;
    // A second mark after the one the decision took stays in the text, so that it is
    // written again.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    qsizetype i = 0;
    while (i < n) {
        // Eight bytes at a time while they are ASCII and hold no line break to change.
        while (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, s + i, 8);
            constexpr quint64 Ones = 0x0101010101010101ULL;
            constexpr quint64 Highs = 0x8080808080808080ULL;
            const auto hasZeroByte = [](quint64 w) { return (w - Ones) & ~w & Highs; };
            if ((word & Highs) ||
                (makeCrLf && (hasZeroByte(word ^ (Ones * '\n')) || hasZeroByte(word ^ (Ones * '\r')))))
                break;
            for (int k = 0; k < 8; ++k)
                out[k] = char16_t(s[i + k]);
            out += 8;
            i += 8;
        }
        if (i >= n)
            break;
        const uchar b = s[i];
        if (b >= 0x80) {
            qsizetype end = i + 1;
            while (end < n && s[end] >= 0x80)
                ++end;
            char16_t *const runStart = out;
            out = reinterpret_cast<char16_t *>(
                utf8.appendToBuffer(reinterpret_cast<QChar *>(out), bytes.sliced(i, end - i)));
            if (utf8.hasError()) {
                utf8.resetState();
                out = decodeRunKeepingBytes(s + i, end - i, runStart, result.validBytes, result.keptBytes);
            } else {
                result.validBytes += end - i;
            }
            i = end;
        } else if (makeCrLf && (b == '\n' || b == '\r')) {
            out[0] = u'\r';
            out[1] = u'\n';
            out += 2;
            i += b == '\r' && i + 1 < n && s[i + 1] == '\n' ? 2 : 1;
        } else {
            *out++ = char16_t(b);
            ++i;
        }
    }
    result.text.resize(out - begin);
    return result;
}

// Every pair of bytes one UTF-16 code unit, kept as it is (a lone half of a surrogate
// pair too, so that the bytes survive); an odd number of bytes is no UTF-16.
std::optional<QString> decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    if (bigEndian)
        qFromBigEndian<quint16>(bytes.data(), text.size(), text.data());
    else
        qFromLittleEndian<quint16>(bytes.data(), text.size(), text.data());
    return text;
}

std::optional<QString> decodeSingleByte(QByteArrayView bytes, Encoding encoding)
{
    const TextFile::SingleByteSet &set = EncodingTable::singleByte(encoding);
    if (!set.available)
        return std::nullopt;
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        if (!set.defined[b])
            return std::nullopt;
        out[i] = set.toUnicode[b];
    }
    return text;
}

// The bytes in one encoding, or nothing when they are not text in it (UTF-16 of an odd
// number of bytes, a byte the single-byte set leaves undefined). UTF-8 always decodes:
// bytes that are not UTF-8 are kept.
std::optional<TextFile::Loaded> decodeAs(QByteArrayView bytes, Encoding encoding,
                                         TextFile::LineBreaks lineBreaks)
{
    if (encoding == Encoding::Utf8) {
        Utf8Text utf8 = decodeUtf8(bytes, lineBreaks);
        return TextFile::Loaded{std::move(utf8.text), encoding, false, utf8.keptBytes};
    }
    std::optional<QString> text;
    if (encoding.isUtf16())
        text = decodeUtf16(bytes, encoding == Encoding::Utf16BE);
    else if (encoding == Encoding::Latin1)
        text = QString::fromLatin1(bytes);
    else
        text = decodeSingleByte(bytes, encoding);
    if (!text)
        return std::nullopt;
    if (lineBreaks == TextFile::LineBreaks::CrLf)
        *text = TextFile::normaliseLineBreaks(*text);
    return TextFile::Loaded{std::move(*text), encoding, false, 0};
}

// UTF-16 without a byte-order mark, told by its NUL bytes: nearly all code units of a
// style sheet are ASCII characters, whose high byte is NUL and whose low byte is not.
// Three in four units of the first 64 KB must be so (a few NUL bytes in a short file
// of one-byte text are no UTF-16); an odd number of bytes is no UTF-16.
std::optional<Encoding> utf16ByItsNulBytes(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.size() % 2 != 0)
        return std::nullopt;
    const qsizetype units = std::min<qsizetype>(bytes.size(), 64 * 1024) / 2;
    qsizetype littleEndian = 0;
    qsizetype bigEndian = 0;
    for (qsizetype k = 0; k < units; ++k) {
        const char first = bytes[2 * k];
        const char second = bytes[2 * k + 1];
        littleEndian += first != 0 && second == 0;
        bigEndian += first == 0 && second != 0;
    }
    if (littleEndian * 4 >= units * 3)
        return Encoding::Utf16LE;
    if (bigEndian * 4 >= units * 3)
        return Encoding::Utf16BE;
    return std::nullopt;
}

// The label of an `@charset "LABEL";` that opens the bytes, as browsers look for it:
// exactly that form, within the first 1024 bytes.
std::optional<QByteArrayView> charsetLabel(QByteArrayView bytes)
{
    constexpr QByteArrayView Opening("@charset \"");
    if (!bytes.startsWith(Opening))
        return std::nullopt;
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 1024));
    const qsizetype close = head.indexOf('"', Opening.size());
    if (close < 0 || close + 1 >= head.size() || head[close + 1] != ';')
        return std::nullopt;
    return head.sliced(Opening.size(), close - Opening.size());
}

QByteArray encodeUtf16(QStringView text, bool bigEndian)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    if (bigEndian)
        qToBigEndian<quint16>(text.data(), text.size(), bytes.data());
    else
        qToLittleEndian<quint16>(text.data(), text.size(), bytes.data());
    return bytes;
}

// The text in a single-byte set; every character must fit (see firstUnencodable).
QByteArray encodeSingleByte(QStringView text, Encoding encoding)
{
    const TextFile::SingleByteSet &set = EncodingTable::singleByte(encoding);
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            bytes[i] = char(c);
            continue;
        }
        const auto found = std::lower_bound(set.fromUnicode.begin(), set.fromUnicode.end(),
                                            std::pair<char16_t, uchar>(c, 0));
        Q_ASSERT(found != set.fromUnicode.end() && found->first == c);
        bytes[i] = char(found->second);
    }
    return bytes;
}

// Encodes a piece of text as UTF-8 into `out` (room for utf8.requiredSpace() of its
// length), each kept byte as the byte it stands for. Returns the end of the output.
char *encodeUtf8(QStringView piece, char *out, QStringEncoder &utf8)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        if (!isKeptByteUnit(piece[i].unicode()) || (i > 0 && piece[i - 1].isHighSurrogate()))
            continue;
        out = utf8.appendToBuffer(out, piece.sliced(from, i - from));
        *out++ = char(piece[i].unicode() - KeptByteBase);
        from = i + 1;
    }
    return utf8.appendToBuffer(out, piece.sliced(from));
}

QByteArray encodePiece(QStringView piece, Encoding encoding)
{
    if (encoding == Encoding::Utf8) {
        QStringEncoder utf8(QStringEncoder::Utf8);
        QByteArray bytes(utf8.requiredSpace(piece.size()), Qt::Uninitialized);
        bytes.truncate(encodeUtf8(piece, bytes.data(), utf8) - bytes.constData());
        return bytes;
    }
    if (encoding.isUtf16())
        return encodeUtf16(piece, encoding == Encoding::Utf16BE);
    if (encoding == Encoding::Latin1)
        return piece.toLatin1();
    return encodeSingleByte(piece, encoding);
}

QByteArray byteOrderMarkOf(Encoding encoding, bool asked)
{
    if (!asked)
        return {};
    for (const auto &[mark, marked] : ByteOrderMarks)
        if (marked == encoding)
            return mark.toByteArray();
    return {};
}

// Names the first character the encoding cannot hold, with its line, for the message
// that refuses to write the text.
QString unencodableMessage(QStringView text, qsizetype at, Encoding encoding)
{
    char32_t code = text[at].unicode();
    if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(text[at], text[at + 1]);
    const qsizetype line = text.first(at).count(QLatin1Char('\n')) + 1;
    if (const std::optional<uchar> byte = TextFile::keptByte(text, at))
        return QStringLiteral("The byte 0x%1 in line %2, which is not UTF-8, cannot be saved in %3")
            .arg(QString::number(*byte, 16).toUpper())
            .arg(line)
            .arg(encoding.name());
    QString character = QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (QChar::isPrint(code) && !QChar::isSpace(code))
        character = QStringLiteral("\"%1\" (%2)").arg(QString::fromUcs4(&code, 1), character);
    return QStringLiteral("The character %1 in line %2 cannot be saved in %3")
        .arg(character)
        .arg(line)
        .arg(encoding.name());
}

} // namespace

std::optional<Encoding> Encoding::fromLabel(QByteArrayView label)
{
    while (!label.isEmpty() && isAsciiBlank(label.front()))
        label = label.sliced(1);
    while (!label.isEmpty() && isAsciiBlank(label.back()))
        label.chop(1);
    if (label.isEmpty())
        return std::nullopt;
    const QByteArray lower = label.toByteArray().toLower();
    for (int id = 0; id < EncodingCount; ++id) {
        const QByteArrayView labels(Encodings[id].labels);
        for (qsizetype from = 0; from < labels.size();) {
            qsizetype end = labels.indexOf(' ', from);
            if (end < 0)
                end = labels.size();
            if (labels.sliced(from, end - from) == lower) {
                const Encoding found = EncodingTable::byId(id);
                if (isSingleByteSet(found) && !EncodingTable::singleByte(found).available)
                    return std::nullopt;
                return found;
            }
            from = end + 1;
        }
    }
    return std::nullopt;
}

std::optional<Encoding> Encoding::fromName(QStringView name)
{
    for (int id = 0; id < EncodingCount; ++id) {
        if (name.compare(QLatin1StringView(Encodings[id].name), Qt::CaseInsensitive) != 0)
            continue;
        const Encoding found = EncodingTable::byId(id);
        if (isSingleByteSet(found) && !EncodingTable::singleByte(found).available)
            return std::nullopt;
        return found;
    }
    return std::nullopt;
}

QList<Encoding> Encoding::available()
{
    QList<Encoding> all;
    for (int id = 0; id < EncodingCount; ++id) {
        const Encoding encoding = EncodingTable::byId(id);
        if (!isSingleByteSet(encoding) || EncodingTable::singleByte(encoding).available)
            all.append(encoding);
    }
    return all;
}

QString Encoding::name() const
{
    return QString::fromLatin1(Encodings[m_id].name);
}

QString TextFile::normaliseLineBreaks(const QString &text)
{
    // Fast path: most files already use CR LF throughout, or have no line break.
    const qsizetype n = text.size();
    const QChar *s = text.constData();
    bool clean = true;
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] == QLatin1Char('\r')) {
            if (i + 1 < n && s[i + 1] == QLatin1Char('\n')) {
                ++i;
                continue;
            }
            clean = false;
            break;
        }
        if (s[i] == QLatin1Char('\n')) {
            clean = false;
            break;
        }
    }
    if (clean)
        return text;

    // Copy the runs between line breaks whole; a line break becomes CR LF.
    QString out;
    out.reserve(n + n / 16 + 16);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        out.append(s + runStart, i - runStart);
        out.append(QLatin1String("\r\n"));
        if (c == QLatin1Char('\r') && i + 1 < n && s[i + 1] == QLatin1Char('\n'))
            ++i;
        runStart = i + 1;
    }
    out.append(s + runStart, n - runStart);
    return out;
}

std::optional<uchar> TextFile::keptByte(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size() || !isKeptByteUnit(text[at].unicode()))
        return std::nullopt;
    if (at > 0 && text[at - 1].isHighSurrogate())
        return std::nullopt;
    return uchar(text[at].unicode() - KeptByteBase);
}

TextFile::Loaded TextFile::decode(const QByteArray &bytes, LineBreaks lineBreaks)
{
    // 1. A byte-order mark (UTF-16 of an odd number of bytes is none).
    for (const auto &[mark, encoding] : ByteOrderMarks) {
        if (!bytes.startsWith(mark))
            continue;
        if (std::optional<Loaded> loaded =
                decodeAs(QByteArrayView(bytes).sliced(mark.size()), encoding, lineBreaks)) {
            loaded->byteOrderMark = true;
            return std::move(*loaded);
        }
    }
    // 2. An @charset at the very start. A file in which it can be read is no UTF-16,
    // so a UTF-16 label means UTF-8 there.
    if (const std::optional<QByteArrayView> label = charsetLabel(bytes)) {
        if (std::optional<Encoding> named = Encoding::fromLabel(*label)) {
            if (named->isUtf16())
                named = Encoding::Utf8;
            if (std::optional<Loaded> loaded = decodeAs(bytes, *named, lineBreaks))
                return std::move(*loaded);
        }
    }
    // 3. UTF-16 without a mark.
    if (const std::optional<Encoding> utf16 = utf16ByItsNulBytes(bytes))
        return *decodeAs(bytes, *utf16, lineBreaks);
    // 4. UTF-8, when more of the bytes from 0x80 up are valid UTF-8 than not: a few
    // stray bytes are kept as they are, not a reason to read the file in another set.
    Utf8Text utf8 = decodeUtf8(bytes, lineBreaks);
    if (utf8.validBytes > utf8.keptBytes || utf8.keptBytes == 0)
        return {std::move(utf8.text), Encoding::Utf8, false, utf8.keptBytes};
    // 5. A single-byte file: windows-1252, as browsers read one, which holds every byte.
    return *decodeAs(bytes, Encoding::Windows1252, lineBreaks);
}

TextFile::Loaded TextFile::decodeIn(const QByteArray &bytes, Encoding encoding, LineBreaks lineBreaks)
{
    QByteArrayView text(bytes);
    bool mark = false;
    for (const auto &[bom, marked] : ByteOrderMarks) {
        if (marked == encoding && text.startsWith(bom)) {
            text = text.sliced(bom.size());
            mark = true;
        }
    }
    std::optional<Loaded> loaded = decodeAs(text, encoding, lineBreaks);
    if (!loaded) {
        if (encoding.isUtf16())
            throw Failure(QStringLiteral("The file cannot be read as %1: it has an odd number of bytes")
                              .arg(encoding.name()));
        const SingleByteSet &set = EncodingTable::singleByte(encoding);
        qsizetype at = 0;
        while (at < text.size() && set.available && set.defined[uchar(text[at])])
            ++at;
        const uint byte = at < text.size() ? uchar(text[at]) : 0;
        throw Failure(
            QStringLiteral("The file cannot be read as %1: it has no character for the byte 0x%2 "
                           "at offset %3")
                .arg(encoding.name(), QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')))
                .arg(at + bytes.size() - text.size()));
    }
    loaded->byteOrderMark = mark;
    return std::move(*loaded);
}

qsizetype TextFile::firstUnencodable(QStringView text, Encoding encoding)
{
    if (encoding.isUtf16())
        return -1;
    const char16_t *const s = text.utf16();
    const qsizetype n = text.size();
    // Whole blocks of characters that all fit are passed over in a loop the compiler
    // can vectorise; a block with a suspect character is looked at one by one.
    constexpr qsizetype Block = 64;
    const auto passOver = [&](qsizetype from, auto suspect) {
        while (from < n) {
            const qsizetype end = std::min(n, from + Block);
            bool any = false;
            for (qsizetype i = from; i < end; ++i)
                any |= suspect(s[i]);
            if (any)
                return from;
            from = end;
        }
        return n;
    };
    if (encoding == Encoding::Utf8) {
        const auto isSurrogate = [](char16_t c) { return (c & 0xF800) == 0xD800; };
        for (qsizetype i = passOver(0, isSurrogate); i < n;) {
            const qsizetype end = std::min(n, i + Block);
            for (; i < end; ++i) {
                if (!text[i].isSurrogate())
                    continue;
                if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
                    ++i;
                else if (!isKeptByteUnit(s[i])) // a kept byte is written as itself
                    return i;
            }
            i = passOver(i, isSurrogate);
        }
        return -1;
    }
    if (encoding == Encoding::Latin1) {
        const qsizetype i = passOver(0, [](char16_t c) { return c > 0xFF; });
        for (qsizetype j = i; j < n; ++j)
            if (s[j] > 0xFF)
                return j;
        return -1;
    }
    const SingleByteSet &set = EncodingTable::singleByte(encoding);
    for (qsizetype i = passOver(0, [](char16_t c) { return c >= 0x80; }); i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80)
            continue;
        const auto found = std::lower_bound(set.fromUnicode.begin(), set.fromUnicode.end(),
                                            std::pair<char16_t, uchar>(c, 0));
        if (found == set.fromUnicode.end() || found->first != c)
            return i;
    }
    return -1;
}

QByteArray TextFile::encode(const QString &text, Encoding encoding, bool byteOrderMark)
{
    const qsizetype bad = firstUnencodable(text, encoding);
    if (bad >= 0)
        throw Failure(unencodableMessage(text, bad, encoding));
    return byteOrderMarkOf(encoding, byteOrderMark) + encodePiece(text, encoding);
}

namespace {

// Writes the mark and then the text, encoded piece by piece, to `write`; every
// character must fit (see firstUnencodable). A surrogate pair stays in one piece.
void writePieces(QStringView all, Encoding encoding, bool byteOrderMark,
                 const std::function<void(QByteArrayView)> &write)
{
    if (const QByteArray mark = byteOrderMarkOf(encoding, byteOrderMark); !mark.isEmpty())
        write(mark);
    constexpr qsizetype PieceLength = qsizetype(1) << 16;
    // UTF-8 is encoded into one buffer that every piece reuses.
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray buffer;
    if (encoding == Encoding::Utf8)
        buffer.resize(utf8.requiredSpace(std::min(PieceLength + 1, all.size())));
    for (qsizetype from = 0; from < all.size();) {
        qsizetype length = std::min(PieceLength, all.size() - from);
        if (from + length < all.size() && all[from + length - 1].isHighSurrogate())
            ++length;
        const QStringView piece = all.sliced(from, length);
        if (encoding == Encoding::Utf8) {
            const char *end = encodeUtf8(piece, buffer.data(), utf8);
            write(QByteArrayView(buffer.constData(), end - buffer.constData()));
        } else {
            write(encodePiece(piece, encoding));
        }
        from += length;
    }
}

} // namespace

void TextFile::encodeInPieces(QStringView text, Encoding encoding, bool byteOrderMark,
                              const std::function<void(QByteArrayView)> &write)
{
    const qsizetype bad = firstUnencodable(text, encoding);
    if (bad >= 0)
        throw Failure(unencodableMessage(text, bad, encoding));
    writePieces(text, encoding, byteOrderMark, write);
}

// Reading and writing files.

namespace {

// A file descriptor closed when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now, giving the system's error number of a failed close (0 when none).
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }
    void reset() { close(); }

private:
    int m_fd;
};

QString reason(int error)
{
    return qt_error_string(error);
}

QString openFailure(const QString &path, const QString &why)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, why);
}

// What a file that is no regular file is, for the message that refuses it.
QString notRegularReason(mode_t mode)
{
    const char *kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "a special file";
    return QStringLiteral("It is %1, not a regular file").arg(QLatin1String(kind));
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// Writes all of the bytes, carrying on after a short write or an interrupted one. The
// system's error number, or 0.
int writeAll(int fd, QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

// Reads up to `size` bytes at the offset, carrying on after a short read. The bytes
// read, or -1 with errno set.
qsizetype readAt(int fd, char *out, qsizetype size, qint64 offset)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out + done, size_t(size - done), off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

QByteArray directoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Follows symbolic links to the name of the file they lead to (which may not exist yet),
// so that the file is written and the links stay links.
QByteArray followLinks(const QString &path)
{
    QByteArray name = QFile::encodeName(path);
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return name;
        if (hops == 40)
            throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(ELOOP)));
        QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size())
            throw Failure(
                QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(length < 0 ? errno : EIO)));
        target.truncate(length);
        name = target.startsWith('/') ? target : directoryOf(name) + '/' + target;
    }
}

// A new file beside the given one, in the same folder (so that it can be renamed over
// it), named after it and hidden. Its name is set in `created`.
Descriptor createBeside(const QByteArray &file, mode_t mode, QByteArray &created, int &error)
{
    const QByteArray folder = directoryOf(file);
    QByteArray base = file.mid(file.lastIndexOf('/') + 1);
    base.truncate(200); // room for the ending within a file name's 255 bytes
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray ending(6, Qt::Uninitialized);
        for (char &c : ending)
            c = "abcdefghijklmnopqrstuvwxyz0123456789"[QRandomGenerator::global()->bounded(36)];
        created = folder + "/." + base + ".lw-" + ending;
        const int fd = ::open(created.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0)
            return Descriptor(fd);
        if (errno != EEXIST) {
            error = errno;
            return Descriptor();
        }
    }
    error = EEXIST;
    return Descriptor();
}

void syncFolderOf(const QByteArray &file)
{
    const Descriptor folder(::open(directoryOf(file).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
}

// The names of a file's extended attributes (access control lists among them); empty
// when the file system has none.
std::optional<QList<QByteArray>> attributeNames(const std::function<ssize_t(char *, size_t)> &list)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::optional<QList<QByteArray>>(QList<QByteArray>()) : std::nullopt;
        QByteArray names(qsizetype(size), Qt::Uninitialized);
        const ssize_t got = list(names.data(), size_t(names.size()));
        if (got < 0 && errno == ERANGE)
            continue; // grew in between
        if (got < 0)
            return std::nullopt;
        names.truncate(got);
        QList<QByteArray> result = names.split('\0');
        result.removeAll(QByteArray());
        return result;
    }
    return std::nullopt;
}

// Gives the new file (open as `fd`) the original's group, mode and extended attributes
// (access control lists among them), and makes sure it has them all: false when it
// cannot carry one of them, so that the original is written in place instead.
bool carryAttributes(int fd, const QByteArray &original, const struct stat &was)
{
    struct stat now;
    if (::fstat(fd, &now) != 0)
        return false;
    if (now.st_gid != was.st_gid && ::fchown(fd, uid_t(-1), was.st_gid) != 0)
        return false;
    const std::optional<QList<QByteArray>> names = attributeNames(
        [&](char *list, size_t size) { return ::listxattr(original.constData(), list, size); });
    if (!names)
        return false;
    for (const QByteArray &name : *names) {
        const ssize_t size = ::getxattr(original.constData(), name.constData(), nullptr, 0);
        if (size < 0)
            return false;
        QByteArray value(qsizetype(size), Qt::Uninitialized);
        const ssize_t got = ::getxattr(original.constData(), name.constData(), value.data(), size_t(size));
        if (got != size || ::fsetxattr(fd, name.constData(), value.constData(), size_t(size), 0) != 0)
            return false;
    }
    // What the folder gave the new file on its own (a default access control list) and
    // the original does not have goes.
    const std::optional<QList<QByteArray>> given =
        attributeNames([&](char *list, size_t size) { return ::flistxattr(fd, list, size); });
    if (!given)
        return false;
    for (const QByteArray &name : *given)
        if (!names->contains(name) && ::fremovexattr(fd, name.constData()) != 0)
            return false;
    // The mode last: changing the group may have cleared the set-user and set-group bits.
    if (::fchmod(fd, was.st_mode & 07777) != 0 || ::fstat(fd, &now) != 0)
        return false;
    return now.st_uid == was.st_uid && now.st_gid == was.st_gid &&
           (now.st_mode & 07777) == (was.st_mode & 07777);
}

enum class Replaced { Done, WriteInPlace };

// Writes the text into a new file beside the target and renames it over the target
// (which may not exist yet). With an existing target, the new file first takes its
// group, mode and attributes; when it cannot, nothing is written and the target is to
// be written in place.
Replaced replaceFile(const QString &path, const QByteArray &target, const struct stat *existing,
                     const QString &text, Encoding encoding, bool byteOrderMark)
{
    QByteArray temporary;
    int error = 0;
    // A new file gets the mode the user's umask and the folder's default access control
    // list give it; an existing one's is set once the text is written.
    Descriptor file = createBeside(target, existing ? 0600 : 0666, temporary, error);
    if (!file)
        throw Failure(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason(error)));
    const auto fail = [&](int error) {
        file.reset();
        ::unlink(temporary.constData());
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(error)));
    };
    if (existing && !carryAttributes(file.get(), target, *existing)) {
        file.reset();
        ::unlink(temporary.constData());
        return Replaced::WriteInPlace;
    }
    TextFile::encodeInPieces(text, encoding, byteOrderMark, [&](QByteArrayView bytes) {
        if (const int error = writeAll(file.get(), bytes))
            fail(error);
    });
    if (::fsync(file.get()) != 0)
        fail(errno);
    if (const int error = file.close())
        fail(error);
    if (::rename(temporary.constData(), target.constData()) != 0)
        fail(errno);
    syncFolderOf(target);
    return Replaced::Done;
}

// Writes the text into the target itself, so that every name of it and everything the
// file carries stays. Its old content is copied beside it and flushed first, room for a
// longer text is taken before the first byte changes, and a write that fails puts the
// old content back.
void writeInPlace(const QString &path, const QByteArray &target, const QString &text, Encoding encoding,
                  bool byteOrderMark)
{
    const QByteArray bytes = TextFile::encode(text, encoding, byteOrderMark);
    const Descriptor file(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file)
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(errno)));
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(errno)));
    if (!S_ISREG(st.st_mode))
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, notRegularReason(st.st_mode)));
    const qint64 oldSize = st.st_size;

    QByteArray backupName;
    int error = 0;
    Descriptor backup = createBeside(target, 0600, backupName, error);
    if (!backup)
        throw Failure(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason(error)));
    const auto failBeforeWriting = [&](int error) {
        backup.reset();
        ::unlink(backupName.constData());
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(error)));
    };
    // The copy of the old content.
    constexpr qsizetype Piece = qsizetype(1) << 20;
    QByteArray buffer(Piece, Qt::Uninitialized);
    for (qint64 offset = 0;;) {
        const qsizetype got = readAt(file.get(), buffer.data(), Piece, offset);
        if (got < 0)
            failBeforeWriting(errno);
        if (got == 0)
            break;
        if (const int error = writeAll(backup.get(), QByteArrayView(buffer.constData(), got)))
            failBeforeWriting(error);
        offset += got;
    }
    if (::fsync(backup.get()) != 0)
        failBeforeWriting(errno);
    // Room for a longer text first: a full disk or a size limit is met here, before the
    // old content is touched. (File systems that cannot reserve room go on without.)
    if (bytes.size() > oldSize && ::fallocate(file.get(), 0, 0, off_t(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        if (::ftruncate(file.get(), off_t(oldSize)) != 0) {
            // Nothing of the old content was changed; only its length may be.
        }
        failBeforeWriting(error);
    }

    const auto writeAt = [](int fd, QByteArrayView data) -> int {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t written = ::pwrite(fd, data.data() + done, size_t(data.size() - done), off_t(done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += written;
        }
        return 0;
    };
    int failed = writeAt(file.get(), bytes);
    if (!failed && ::ftruncate(file.get(), off_t(bytes.size())) != 0)
        failed = errno;
    if (!failed && ::fsync(file.get()) != 0)
        failed = errno;
    if (!failed) {
        backup.reset();
        ::unlink(backupName.constData());
        return;
    }
    // Put the old content back from the copy; the copy stays when even that fails.
    bool restored = true;
    for (qint64 offset = 0; restored && offset < oldSize;) {
        const qsizetype got = readAt(backup.get(), buffer.data(), Piece, offset);
        restored = got > 0 && ::pwrite(file.get(), buffer.constData(), size_t(got), off_t(offset)) == got;
        offset += std::max<qsizetype>(got, 0);
    }
    restored = restored && ::ftruncate(file.get(), off_t(oldSize)) == 0 && ::fsync(file.get()) == 0;
    backup.reset();
    if (restored) {
        ::unlink(backupName.constData());
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(failed)));
    }
    throw Failure(QStringLiteral("Cannot write file \"%1\". %2. Its earlier content is kept in \"%3\"")
                      .arg(path, reason(failed), QFile::decodeName(backupName)));
}

} // namespace

TextFile::TooLarge::TooLarge(const QString &path, qint64 size, qint64 limit)
    : Failure(openFailure(
          path,
          QStringLiteral("It is %1, larger than the limit of %2").arg(sizeText(size), sizeText(limit)))),
      m_size(size), m_limit(limit)
{
}

TextFile::Cancelled::Cancelled(const QString &path)
    : Failure(QStringLiteral("Reading file \"%1\" was cancelled").arg(path))
{
}

qint64 TextFile::regularFileSize(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        throw Failure(openFailure(path, reason(errno)));
    if (!S_ISREG(st.st_mode))
        throw Failure(openFailure(path, notRegularReason(st.st_mode)));
    return st.st_size;
}

TextFile::Loaded TextFile::load(const QString &path, const LoadOptions &options)
{
    // Looked at before it is opened: opening a named pipe or a device may block, and a
    // socket cannot be opened at all.
    regularFileSize(path);
    // Not blocking, in case it was replaced by a special file in between; looked at once
    // more through what was opened.
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file)
        throw Failure(openFailure(path, reason(errno)));
    struct stat st;
    if (::fstat(file.get(), &st) != 0)
        throw Failure(openFailure(path, reason(errno)));
    if (!S_ISREG(st.st_mode))
        throw Failure(openFailure(path, notRegularReason(st.st_mode)));
    const qint64 limit = options.sizeLimit;
    if (limit >= 0 && st.st_size > limit)
        throw TooLarge(path, st.st_size, limit);

    constexpr qsizetype Piece = qsizetype(1) << 20;
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    qint64 total = st.st_size;
    while (true) {
        const qsizetype at = bytes.size();
        bytes.resize(at + Piece);
        const qsizetype got = readAt(file.get(), bytes.data() + at, Piece, at);
        if (got < 0)
            throw Failure(QStringLiteral("Cannot read file \"%1\". %2").arg(path, reason(errno)));
        bytes.resize(at + got);
        // A file that grows while it is read is held to the limit as well.
        if (limit >= 0 && bytes.size() > limit)
            throw TooLarge(path, bytes.size(), limit);
        total = std::max<qint64>(total, bytes.size());
        if (got == 0)
            break;
        if (options.progress && !options.progress(bytes.size(), total))
            throw Cancelled(path);
    }
    if (options.bytesRead)
        *options.bytesRead = bytes;
    return options.encoding ? decodeIn(bytes, *options.encoding, options.lineBreaks)
                            : decode(bytes, options.lineBreaks);
}

bool TextFile::isReadOnly(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

Encoding TextFile::save(const QString &path, const QString &text, Encoding encoding, bool byteOrderMark)
{
    // Decided before the file is touched: a text the encoding cannot hold leaves the
    // old file as it was.
    const qsizetype bad = firstUnencodable(text, encoding);
    if (bad >= 0)
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2")
                          .arg(path, unencodableMessage(text, bad, encoding)));
    const QByteArray target = followLinks(path);
    struct stat st;
    if (::stat(target.constData(), &st) != 0) {
        if (errno != ENOENT)
            throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason(errno)));
        replaceFile(path, target, nullptr, text, encoding, byteOrderMark);
        return encoding;
    }
    if (!S_ISREG(st.st_mode))
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, notRegularReason(st.st_mode)));
    // A new file in its place would be the saver's, and would be one name only.
    const bool inPlace = st.st_nlink > 1 || st.st_uid != ::geteuid();
    if (inPlace || replaceFile(path, target, &st, text, encoding, byteOrderMark) == Replaced::WriteInPlace)
        writeInPlace(path, target, text, encoding, byteOrderMark);
    return encoding;
}
