#include "StyleSheetGenerator.h"

#include <QFile>
#include <array>
#include <iterator>

namespace {

const std::array<const char *, 8> Names = {"color",       "font-size",  "margin",      "background-color",
                                           "font-family", "text-align", "padding-top", "border"};
const std::array<const char *, 6> Elements = {"BODY", "H1", "P", "TABLE", "DIV", "SPAN"};
constexpr int PerRule = 8;

// Every declaration differs from the others, so none is skipped as a repeat.
QString value(int n)
{
    return QStringLiteral("#%1 v%2").arg(n % 0xFFFFFF, 6, 16, QLatin1Char('0')).arg(n);
}

} // namespace

QString StyleSheetGenerator::generate(Form form, int declarations)
{
    QString text;
    text.reserve(qsizetype(declarations) * (form == Form::Writer ? 32 : 44));
    int rule = 0;
    for (int n = 0; n < declarations; ++rule) {
        const int count = std::min(PerRule, declarations - n);
        if (form == Form::Writer) {
            if (rule > 0)
                text += QLatin1String("\r\n");
            text += rule % 4 == 0 ? QString::fromLatin1(Elements[size_t(rule / 4) % Elements.size()])
                                  : QStringLiteral(".c%1").arg(rule);
            text += QLatin1String(" {");
            for (int i = 0; i < count; ++i, ++n) {
                text += QLatin1String(Names[size_t(n) % Names.size()]) + QLatin1Char('=') + value(n);
                text += i == count - 1 ? QLatin1String(";") : QLatin1String("; ");
            }
            text += QLatin1Char('}');
        } else {
            if (rule % 5 == 0)
                text += QStringLiteral("/* section %1 */\n").arg(rule / 5);
            if (rule % 7 == 0)
                text += QString::fromLatin1(Elements[size_t(rule / 7) % Elements.size()]).toLower();
            else
                text += QStringLiteral("#main .item-%1 > a, .item-%1:hover").arg(rule);
            text += QLatin1String(" {\n");
            for (int i = 0; i < count; ++i, ++n) {
                text += QLatin1String("    ") + QLatin1String(Names[size_t(n) % Names.size()]) +
                        QLatin1String(": ") + value(n);
                text += i == count - 1 ? QLatin1String("\n") : QLatin1String(";\n");
            }
            text += QLatin1String("}\n\n");
        }
    }
    return text;
}

QByteArray StyleSheetGenerator::windowSheet()
{
    constexpr int CatalogueEvery = 20;
    const char *const catalogueSelectors[] = {"BODY", "H1", "P", "TABLE", "DIV", "SPAN", "UL", "LI"};
    QByteArray text;
    text.reserve(WindowRules * 104);
    for (int rule = 0; rule < WindowRules; ++rule) {
        if (rule > 0)
            text += "\r\n";
        if (rule % CatalogueEvery == 0)
            text += catalogueSelectors[size_t(rule / CatalogueEvery) % std::size(catalogueSelectors)];
        else
            text += ".item-" + QByteArray::number(rule) + " a";
        text += " {color=#" + QByteArray::number(rule, 16).rightJustified(6, '0').toUpper();
        text += "; font-size=" + QByteArray::number(rule);
        text += "; line-height=" + QByteArray::number(rule + 1);
        text += "; background-image=\"img/p" + QByteArray::number(rule) + ".png\";}";
    }
    return text;
}

QByteArray StyleSheetGenerator::realStyleSheet(qint64 bytes)
{
    QByteArray parts[2];
    const char *const names[] = {"bootstrap.css", "bulma.css"};
    for (int i = 0; i < 2; ++i) {
        QFile file(QLatin1String(LW_REAL_SHEETS_DIR "/") + QLatin1String(names[i]));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        parts[i] = file.readAll();
        if (parts[i].isEmpty())
            return {};
        if (!parts[i].endsWith('\n')) // bootstrap.css ends without a line break
            parts[i] += '\n';
    }
    QByteArray text;
    text.reserve(bytes + parts[1].size());
    for (int i = 0; text.size() < bytes; ++i)
        text += parts[i % 2];
    return text;
}
