#include "EncodingChoice.h"

#include "Messages.h"

std::optional<EncodingChoice::Choice> EncodingChoice::forSave(QWidget *parent, const QString &text,
                                                              TextFile::Encoding encoding, bool byteOrderMark)
{
    const qsizetype bad = TextFile::firstUnencodable(text, encoding);
    // UTF-8 and UTF-16 hold every character; the save itself reports a text that is
    // not valid Unicode.
    if (bad < 0 || encoding == TextFile::Encoding::Utf8 || encoding.isUtf16())
        return Choice{encoding, byteOrderMark, false};
    const qsizetype length = text[bad].isHighSurrogate() && bad + 1 < text.size() ? 2 : 1;
    if (!Messages::askToSaveAsUtf8(parent, encoding.name(), text.mid(bad, length)))
        return std::nullopt;
    const bool startsWithCharset = text.startsWith(QStringLiteral("@charset"), Qt::CaseInsensitive);
    return Choice{TextFile::Encoding::Utf8, startsWithCharset, true};
}
