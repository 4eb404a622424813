#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Small catalogue tables (tags.db, css.db) for tests, written with SQLite in the
// layout the program reads: tags(Element, Image) with the index "Element" ignoring
// case, css(Attribute, "Values") with LF between the lines of Values.
namespace TestCatalogue {

struct Attribute
{
    QString name;
    QString values; // lines separated by LF
};

// Writes both tables into `folder` (replacing them); each element row's picture is
// the bytes "picture " followed by its name. Gives the error text, empty on success.
QString write(const QString &folder, const QStringList &elements, const QList<Attribute> &attributes);

// The catalogue the reader's case files are written against. Rows in index order:
// 1 "!--", 2 "!DOCTYPE", 3 "#PCDATA" (the three rows without a node), 4 "A", 5 "BODY",
// 6 "H1", 7 "H2", 8 "P", 9 "Q", 10 "q" (two rows of one name), 11 "TABLE"; so "A" is
// row 4 and its node, like every row's, shows picture 5 + row. Attributes: color and
// background-color <Color>, font-size <Number>, font-family <Font>, background-image
// <URL>, text-align a choice of left, center, right, border an unknown marker
// <Length>, content without Values.
QString writeStandard(const QString &folder);

} // namespace TestCatalogue
