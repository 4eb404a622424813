#include "StyleSheetWriter.h"

#include "Document.h"

QStringList StyleSheetWriter::buildStyleSheetText(const Document &document)
{
    QStringList lines;
    for (const auto &element : document.elements().elements()) {
        if (element->attributes.empty())
            continue;
        qsizetype length = element->label.size() + 3;
        for (const AttributeNode &attribute : element->attributes)
            length += attribute.label.size() + 2;
        QString line;
        line.reserve(length);
        line += element->label;
        line += QLatin1String(" {");
        const size_t last = element->attributes.size() - 1;
        for (size_t i = 0; i <= last; ++i) {
            line += element->attributes[i].label;
            line += i == last ? QLatin1String(";") : QLatin1String("; ");
        }
        line += QLatin1Char('}');
        lines.append(std::move(line));
    }
    return lines;
}

QString StyleSheetWriter::styleSheetText(const Document &document)
{
    return buildStyleSheetText(document).join(QLatin1String("\r\n"));
}

void StyleSheetWriter::save(Document &document, const QString &path)
{
    const TextFile::Encoding written =
        TextFile::save(path, styleSheetText(document), document.encoding(), document.byteOrderMark());
    document.setEncoding(written, document.byteOrderMark());
}
