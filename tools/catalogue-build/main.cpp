// Builds the catalogue tables tags.db, css.db, attributes.db and syntax.db, and the
// pictures of the "tree control" folder, from the text sources in data/catalogue.

#include "CsvReader.h"
#include "PictureRenderer.h"
#include "TableFile.h"

#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const CsvReader &csv, std::size_t record, const QString &what)
{
    throw std::runtime_error(
        QStringLiteral("%1:%2: %3").arg(csv.fileName()).arg(csv.lineOf(record)).arg(what).toStdString());
}

// SQLite's NOCASE folds ASCII letters only; duplicates are judged the same way, since
// an element look-up must find exactly one row.
QString foldAscii(const QString &name)
{
    QString folded = name;
    for (QChar &c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return folded;
}

// The picture family names are file names under pictures/: plain lower-case words.
bool isFamilyName(const QString &family)
{
    if (family.isEmpty())
        return false;
    for (QChar c : family) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-'))
            return false;
    }
    return true;
}

std::unique_ptr<TableFile> buildTags(const QDir &source, const QDir &output,
                                     QMap<QString, QByteArray> &pictures)
{
    const CsvReader csv(source.filePath(QStringLiteral("elements.csv")));
    const int nameColumn = csv.column(QStringLiteral("Element"));
    const int pictureColumn = csv.column(QStringLiteral("Picture"));

    auto table = std::make_unique<TableFile>(output.filePath(QStringLiteral("tags.db")));
    table->execute(QStringLiteral("CREATE TABLE tags(Element TEXT NOT NULL, Image BLOB)"));
    table->prepareInsert(QStringLiteral("INSERT INTO tags(Element, Image) VALUES(?, ?)"));
    QSet<QString> seen;
    for (std::size_t r = 0; r < csv.records().size(); ++r) {
        const QString name = csv.records()[r].at(nameColumn).trimmed();
        const QString family = csv.records()[r].at(pictureColumn).trimmed();
        if (name.isEmpty())
            fail(csv, r, QStringLiteral("empty element name"));
        if (!isFamilyName(family))
            fail(csv, r, QStringLiteral("picture \"%1\" is not a plain picture name").arg(family));
        if (seen.contains(foldAscii(name)))
            fail(csv, r, QStringLiteral("element \"%1\" is listed twice (case does not count)").arg(name));
        seen.insert(foldAscii(name));
        if (!pictures.contains(family))
            pictures.insert(family, PictureRenderer::renderPng(
                                        source.filePath(QStringLiteral("pictures/%1.svg").arg(family))));
        table->insertRow({name, pictures.value(family)});
    }
    // Rows are read in the order of this index; equal keys keep their row order.
    table->execute(QStringLiteral("CREATE INDEX Element ON tags(Element COLLATE NOCASE)"));
    std::printf("tags.db: %zu elements, %lld pictures\n", csv.records().size(),
                static_cast<long long>(pictures.size()));
    return table;
}

QString kindOf(const QString &values)
{
    if (values.isEmpty())
        return QStringLiteral("none");
    if (values.startsWith(u'<'))
        return values.section(u'\n', 0, 0);
    return QStringLiteral("choice");
}

std::unique_ptr<TableFile> buildCss(const QDir &source, const QDir &output)
{
    const CsvReader csv(source.filePath(QStringLiteral("attributes.csv")));
    const int nameColumn = csv.column(QStringLiteral("Attribute"));
    const int valuesColumn = csv.column(QStringLiteral("Values"));

    auto table = std::make_unique<TableFile>(output.filePath(QStringLiteral("css.db")));
    table->execute(
        QStringLiteral("CREATE TABLE css(Attribute TEXT NOT NULL, \"Values\" TEXT NOT NULL DEFAULT '')"));
    table->prepareInsert(QStringLiteral("INSERT INTO css(Attribute, \"Values\") VALUES(?, ?)"));
    QSet<QString> seen;
    QMap<QString, int> kinds;
    for (std::size_t r = 0; r < csv.records().size(); ++r) {
        const QString name = csv.records()[r].at(nameColumn).trimmed();
        const QString values = csv.records()[r].at(valuesColumn);
        if (name.isEmpty())
            fail(csv, r, QStringLiteral("empty attribute name"));
        if (seen.contains(name))
            fail(csv, r, QStringLiteral("attribute \"%1\" is listed twice").arg(name));
        seen.insert(name);
        // The editor takes the first line as the kind marker or the first word of a
        // choice list, so no line may be empty or carry stray spaces.
        if (!values.isEmpty()) {
            for (const QString &line : values.split(u'\n')) {
                if (line.isEmpty())
                    fail(csv, r, QStringLiteral("\"%1\": empty line in its values").arg(name));
                if (line != line.trimmed())
                    fail(csv, r,
                         QStringLiteral("\"%1\": value line \"%2\" has spaces around it").arg(name, line));
            }
        }
        ++kinds[kindOf(values)];
        table->insertRow({name, values});
    }
    std::printf("css.db: %zu attributes:", csv.records().size());
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        std::printf(" %s %d", qPrintable(it.key()), it.value());
    std::printf("\n");
    return table;
}

std::unique_ptr<TableFile> buildHtmlAttributes(const QDir &source, const QDir &output)
{
    const CsvReader csv(source.filePath(QStringLiteral("html-attributes.csv")));
    const int elementColumn = csv.column(QStringLiteral("Element"));
    const int attributeColumn = csv.column(QStringLiteral("Attribute"));

    auto table = std::make_unique<TableFile>(output.filePath(QStringLiteral("attributes.db")));
    table->execute(QStringLiteral("CREATE TABLE attributes(Element TEXT, Attribute TEXT)"));
    table->prepareInsert(QStringLiteral("INSERT INTO attributes(Element, Attribute) VALUES(?, ?)"));
    for (std::size_t r = 0; r < csv.records().size(); ++r) {
        const QStringList &record = csv.records()[r];
        if (record.at(elementColumn).isEmpty() || record.at(attributeColumn).isEmpty())
            fail(csv, r, QStringLiteral("empty element or attribute"));
        table->insertRow({record.at(elementColumn), record.at(attributeColumn)});
    }
    std::printf("attributes.db: %zu rows\n", csv.records().size());
    return table;
}

// One table of syntax.db from a two-column source: names must be unique and every
// row needs a syntax, since the declaration check compiles each one it meets.
void fillSyntaxTable(TableFile &table, const QDir &source, const QString &fileName, const QString &nameField,
                     const QString &tableName)
{
    const CsvReader csv(source.filePath(fileName));
    const int nameColumn = csv.column(nameField);
    const int syntaxColumn = csv.column(QStringLiteral("Syntax"));
    table.execute(
        QStringLiteral("CREATE TABLE %1(%2 TEXT NOT NULL, Syntax TEXT NOT NULL)").arg(tableName, nameField));
    table.prepareInsert(QStringLiteral("INSERT INTO %1(%2, Syntax) VALUES(?, ?)").arg(tableName, nameField));
    QSet<QString> seen;
    for (std::size_t r = 0; r < csv.records().size(); ++r) {
        const QString name = csv.records()[r].at(nameColumn).trimmed();
        const QString syntax = csv.records()[r].at(syntaxColumn).trimmed();
        if (name.isEmpty() || syntax.isEmpty())
            fail(csv, r, QStringLiteral("empty name or syntax"));
        if (seen.contains(name))
            fail(csv, r, QStringLiteral("\"%1\" is listed twice").arg(name));
        seen.insert(name);
        table.insertRow({name, syntax});
    }
    std::printf("syntax.db: %zu rows in %s\n", csv.records().size(), qPrintable(tableName));
}

// The table baseline(Feature, Support) of syntax.db from baseline.csv: the feature as it
// stands ("property gap") and, in one line, its status, the dates it became newly and
// widely available ("-" when not yet) and the core browsers that lack it:
// "widely 2017-10-17 2020-04-17", "limited - - firefox firefox_android".
void fillBaselineTable(TableFile &table, const QDir &source)
{
    const CsvReader csv(source.filePath(QStringLiteral("baseline.csv")));
    const int featureColumn = csv.column(QStringLiteral("Feature"));
    const int statusColumn = csv.column(QStringLiteral("Status"));
    const int lowColumn = csv.column(QStringLiteral("Low"));
    const int highColumn = csv.column(QStringLiteral("High"));
    const int missingColumn = csv.column(QStringLiteral("Missing"));
    table.execute(QStringLiteral("CREATE TABLE baseline(Feature TEXT NOT NULL, Support TEXT NOT NULL)"));
    table.prepareInsert(QStringLiteral("INSERT INTO baseline(Feature, Support) VALUES(?, ?)"));
    const QStringList statuses{QStringLiteral("widely"), QStringLiteral("newly"), QStringLiteral("limited"),
                               QStringLiteral("discouraged")};
    QSet<QString> seen;
    for (std::size_t r = 0; r < csv.records().size(); ++r) {
        const QStringList &record = csv.records()[r];
        const QString feature = record.at(featureColumn).trimmed();
        const QString status = record.at(statusColumn).trimmed();
        if (feature.isEmpty() || !statuses.contains(status))
            fail(csv, r,
                 QStringLiteral(
                     "a feature needs a name and a status of widely, newly, limited or discouraged"));
        if (seen.contains(feature))
            fail(csv, r, QStringLiteral("\"%1\" is listed twice").arg(feature));
        seen.insert(feature);
        const auto orDash = [](const QString &text) { return text.isEmpty() ? QStringLiteral("-") : text; };
        QString support = status + u' ' + orDash(record.at(lowColumn).trimmed()) + u' ' +
                          orDash(record.at(highColumn).trimmed());
        const QString missing = record.at(missingColumn).simplified();
        if (!missing.isEmpty())
            support += u' ' + missing;
        table.insertRow({feature, support});
    }
    std::printf("syntax.db: %zu rows in baseline\n", csv.records().size());
}

// syntax.db: the value syntaxes of the properties and the named syntaxes they use, the
// pseudo-classes and pseudo-elements, and the descriptors of the at-rules.
std::unique_ptr<TableFile> buildSyntax(const QDir &source, const QDir &output)
{
    auto table = std::make_unique<TableFile>(output.filePath(QStringLiteral("syntax.db")));
    fillSyntaxTable(*table, source, QStringLiteral("property-syntaxes.csv"), QStringLiteral("Property"),
                    QStringLiteral("properties"));
    fillSyntaxTable(*table, source, QStringLiteral("named-syntaxes.csv"), QStringLiteral("Name"),
                    QStringLiteral("syntaxes"));
    fillSyntaxTable(*table, source, QStringLiteral("selector-names.csv"), QStringLiteral("Name"),
                    QStringLiteral("selectors"));
    fillSyntaxTable(*table, source, QStringLiteral("descriptor-syntaxes.csv"), QStringLiteral("Descriptor"),
                    QStringLiteral("descriptors"));
    fillBaselineTable(*table, source);
    return table;
}

void writePictures(const QMap<QString, QByteArray> &pictures, const QDir &folder)
{
    if (!folder.mkpath(QStringLiteral(".")))
        throw std::runtime_error(QStringLiteral("cannot create %1").arg(folder.path()).toStdString());
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        QSaveFile file(folder.filePath(it.key() + QStringLiteral(".png")));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size() || !file.commit())
            throw std::runtime_error(
                QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()).toStdString());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // A build step has no display; SVG rendering needs only the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: catalogue-build <source folder> <output folder> <picture folder>\n");
        return 2;
    }
    try {
        const QDir source(args.at(1));
        const QDir output(args.at(2));
        if (!output.mkpath(QStringLiteral(".")))
            throw std::runtime_error(QStringLiteral("cannot create %1").arg(output.path()).toStdString());
        QMap<QString, QByteArray> pictures;
        // All tables are complete before any of them takes its final name.
        const auto tags = buildTags(source, output, pictures);
        const auto css = buildCss(source, output);
        const auto html = buildHtmlAttributes(source, output);
        const auto syntax = buildSyntax(source, output);
        writePictures(pictures, QDir(args.at(3)));
        tags->commit();
        css->commit();
        html->commit();
        syntax->commit();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "catalogue-build: %s\n", e.what());
        return 1;
    }
    return 0;
}
