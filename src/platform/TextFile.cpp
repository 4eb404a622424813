#include "TextFile.h"

#include "Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
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

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Decodes UTF-8 and makes every lone LF or CR a CR LF in the same pass (so that a large
// file is not held a second time for its line breaks). ASCII bytes are copied here; each
// run of bytes from 0x80 up is decoded whole by Qt. No UTF-8 sequence holds an ASCII
// byte, so the bytes are valid UTF-8 exactly when each such run is, and the text is
// the one decoding them all at once gives.
std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    const uchar *const s = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    // Each byte gives at most one character, and a line break at most one more.
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < n; ++i)
        breaks += (s[i] == '\n') | (s[i] == '\r');
    QString text(n + breaks, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    // A second mark after the one the decision took stays in the text, so that it is
    // written again.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    qsizetype i = 0;
    while (i < n) {
        // Eight bytes at a time while they are ASCII and hold no line break.
        while (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, s + i, 8);
            constexpr quint64 Ones = 0x0101010101010101ULL;
            constexpr quint64 Highs = 0x8080808080808080ULL;
            const auto hasZeroByte = [](quint64 w) { return (w - Ones) & ~w & Highs; };
            if ((word & Highs) || hasZeroByte(word ^ (Ones * '\n')) || hasZeroByte(word ^ (Ones * '\r')))
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
            out = reinterpret_cast<char16_t *>(
                utf8.appendToBuffer(reinterpret_cast<QChar *>(out), bytes.sliced(i, end - i)));
            if (utf8.hasError())
                return std::nullopt;
            i = end;
        } else if (b == '\n' || b == '\r') {
            out[0] = u'\r';
            out[1] = u'\n';
            out += 2;
            i += b == '\r' && i + 1 < n && s[i + 1] == '\n' ? 2 : 1;
        } else {
            *out++ = char16_t(b);
            ++i;
        }
    }
    text.resize(out - begin);
    return text;
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

std::optional<QString> decodeAs(QByteArrayView bytes, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return decodeUtf8(bytes);
    if (encoding.isUtf16())
        return decodeUtf16(bytes, encoding == Encoding::Utf16BE);
    if (encoding == Encoding::Latin1)
        return QString::fromLatin1(bytes);
    return decodeSingleByte(bytes, encoding);
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

QByteArray encodePiece(QStringView piece, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return piece.toUtf8();
    if (encoding.isUtf16())
        return encodeUtf16(piece, encoding == Encoding::Utf16BE);
    if (encoding == Encoding::Latin1)
        return piece.toLatin1();
    return encodeSingleByte(piece, encoding);
}

QByteArray byteOrderMarkOf(Encoding encoding, bool asked)
{
    if (encoding == Encoding::Utf16LE)
        return QByteArrayLiteral("\xFF\xFE");
    if (encoding == Encoding::Utf16BE)
        return QByteArrayLiteral("\xFE\xFF");
    if (encoding == Encoding::Utf8 && asked)
        return QByteArrayLiteral("\xEF\xBB\xBF");
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

TextFile::Loaded TextFile::decode(const QByteArray &bytes)
{
    const auto decided = [&]() -> Loaded {
        // 1. A byte-order mark.
        static constexpr std::pair<QByteArrayView, Encoding> Marks[] = {
            {QByteArrayView("\xEF\xBB\xBF"), Encoding::Utf8},
            {QByteArrayView("\xFF\xFE"), Encoding::Utf16LE},
            {QByteArrayView("\xFE\xFF"), Encoding::Utf16BE},
        };
        for (const auto &[mark, encoding] : Marks)
            if (bytes.startsWith(mark))
                if (std::optional<QString> text =
                        decodeAs(QByteArrayView(bytes).sliced(mark.size()), encoding))
                    return {std::move(*text), encoding, true};
        // 2. An @charset at the very start. A file in which it can be read is no UTF-16,
        // so a UTF-16 label means UTF-8 there.
        if (const std::optional<QByteArrayView> label = charsetLabel(bytes)) {
            if (std::optional<Encoding> named = Encoding::fromLabel(*label)) {
                if (named->isUtf16())
                    named = Encoding::Utf8;
                if (std::optional<QString> text = decodeAs(bytes, *named))
                    return {std::move(*text), *named, false};
            }
        }
        // 3. Valid UTF-8.
        if (std::optional<QString> text = decodeUtf8(bytes))
            return {std::move(*text), Encoding::Utf8, false};
        // 4. Latin-1: every byte one character.
        return {QString::fromLatin1(bytes), Encoding::Latin1, false};
    };
    Loaded result = decided();
    // UTF-8 has made its line breaks CR LF as it was decoded.
    if (result.encoding != Encoding::Utf8)
        result.text = normaliseLineBreaks(result.text);
    return result;
}

TextFile::Loaded TextFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // Qt words a folder in its own way; the system's reason is the one users know.
        const QString reason = QFileInfo(path).isDir() ? qt_error_string(EISDIR) : file.errorString();
        throw Failure(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return decode(bytes);
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
                else
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
            const char *end = utf8.appendToBuffer(buffer.data(), piece);
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

Encoding TextFile::save(const QString &path, const QString &text, Encoding encoding, bool byteOrderMark)
{
    // Decided before the file is touched: a text the encoding cannot hold leaves the
    // old file as it was.
    const qsizetype bad = firstUnencodable(text, encoding);
    if (bad >= 0)
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2")
                          .arg(path, unencodableMessage(text, bad, encoding)));
    // Unbuffered, so that a write cut short (disk full, size limit) is seen here and the
    // old file kept: a buffered QSaveFile can commit a truncated file in that case.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Failure(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    // Encoded and written piece by piece: a large text is never held a second time
    // whole as bytes (UTF-8 alone would reserve three bytes per character).
    writePieces(text, encoding, byteOrderMark, [&](QByteArrayView bytes) {
        if (file.write(bytes.data(), bytes.size()) == bytes.size())
            return;
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    });
    if (!file.commit())
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
    return encoding;
}
