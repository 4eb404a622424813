#include "TreeDump.h"

#include "Document.h"

QString TreeDump::escaped(const QString &label)
{
    QString out;
    out.reserve(label.size());
    for (const QChar c : label) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString TreeDump::tree(const Document &document)
{
    QString out;
    for (const auto &element : document.elements().elements()) {
        if (element->attributes.empty())
            continue;
        out += QString::number(element->picture) + QLatin1Char('\t') + escaped(element->label) +
               QLatin1Char('\n');
        for (const AttributeNode &attribute : element->attributes)
            out += QLatin1Char('\t') + QString::number(attribute.picture) + QLatin1Char('\t') +
                   escaped(attribute.label) + QLatin1Char('\n');
    }
    return out;
}
