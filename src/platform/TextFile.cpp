#include "TextFile.h"

#include "Failure.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool fitsLatin1(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

} // namespace

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
    Loaded result;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        result.encoding = Encoding::Utf8;
        result.byteOrderMark = bytes.startsWith("\xEF\xBB\xBF");
    } else {
        text = QString::fromLatin1(bytes);
        result.encoding = Encoding::Latin1;
    }
    result.text = normaliseLineBreaks(text);
    return result;
}

TextFile::Loaded TextFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return decode(bytes);
}

QByteArray TextFile::encode(const QString &text, Encoding encoding, bool byteOrderMark)
{
    if (encoding == Encoding::Latin1 && fitsLatin1(text))
        return text.toLatin1();
    QByteArray bytes = text.toUtf8();
    if (byteOrderMark && encoding == Encoding::Utf8)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

TextFile::Encoding TextFile::save(const QString &path, const QString &text, Encoding encoding,
                                  bool byteOrderMark)
{
    const Encoding written =
        encoding == Encoding::Latin1 && fitsLatin1(text) ? Encoding::Latin1 : Encoding::Utf8;
    // Unbuffered, so that a write cut short (disk full, size limit) is seen here and the
    // old file kept: a buffered QSaveFile can commit a truncated file in that case.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Failure(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    const auto writeAll = [&](const QByteArray &bytes) {
        if (file.write(bytes) == bytes.size())
            return;
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    };
    if (byteOrderMark && written == Encoding::Utf8)
        writeAll(QByteArrayLiteral("\xEF\xBB\xBF"));
    // Encoded and written piece by piece: a large text is never held a second time
    // whole as bytes (UTF-8 alone would reserve three bytes per character). A
    // surrogate pair stays in one piece.
    constexpr qsizetype PieceLength = qsizetype(1) << 16;
    const QStringView all(text);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype length = std::min(PieceLength, all.size() - from);
        if (from + length < all.size() && all[from + length - 1].isHighSurrogate())
            ++length;
        const QStringView piece = all.sliced(from, length);
        writeAll(written == Encoding::Latin1 ? piece.toLatin1() : piece.toUtf8());
        from += length;
    }
    if (!file.commit())
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
    return written;
}
