#include "StyleSheetWriter.h"

#include "Document.h"

namespace {

qsizetype lineLength(const ElementNode &element)
{
    qsizetype length = element.label.size() + 3;
    for (const AttributeNode &attribute : element.attributes)
        length += attribute.label.size() + 2;
    return length;
}

void appendLine(QString &text, const ElementNode &element)
{
    text += element.label;
    text += QLatin1String(" {");
    const size_t last = element.attributes.size() - 1;
    for (size_t i = 0; i <= last; ++i) {
        text += element.attributes[i].label;
        text += i == last ? QLatin1String(";") : QLatin1String("; ");
    }
    text += QLatin1Char('}');
}

} // namespace

QStringList StyleSheetWriter::buildStyleSheetText(const Document &document)
{
    QStringList lines;
    for (const auto &element : document.elements().elements()) {
        if (element->attributes.empty())
            continue;
        QString line;
        line.reserve(lineLength(*element));
        appendLine(line, *element);
        lines.append(std::move(line));
    }
    return lines;
}

QString StyleSheetWriter::styleSheetText(const Document &document)
{
    // Built in one piece: the same text as the lines joined by CR LF.
    qsizetype length = 0;
    for (const auto &element : document.elements().elements())
        if (!element->attributes.empty())
            length += lineLength(*element) + 2;
    QString text;
    text.reserve(length);
    for (const auto &element : document.elements().elements()) {
        if (element->attributes.empty())
            continue;
        if (!text.isEmpty())
            text += QLatin1String("\r\n");
        appendLine(text, *element);
    }
    return text;
}

void StyleSheetWriter::save(Document &document, const QString &path)
{
    const TextFile::Encoding written =
        TextFile::save(path, styleSheetText(document), document.encoding(), document.byteOrderMark());
    document.setEncoding(written, document.byteOrderMark());
}
