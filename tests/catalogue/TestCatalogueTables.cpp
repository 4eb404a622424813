#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <memory>
#include <sqlite3.h>

// Checks the catalogue tables and support files that the build puts beside the
// program: what the editor relies on when it loads and consults them.
class TestCatalogueTables : public QObject
{
    Q_OBJECT

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const { sqlite3_close(db); }
    };
    using Database = std::unique_ptr<sqlite3, Closer>;
    struct Row
    {
        QString text;
        QByteArray blob;
    };

    static Database open(const QString &fileName)
    {
        const QString path = QDir(TestEnvironment::programFolder()).filePath(fileName);
        sqlite3 *db = nullptr;
        const int rc =
            sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        Database owned(db);
        if (rc != SQLITE_OK) {
            qWarning("cannot open %s: %s", qPrintable(path), sqlite3_errmsg(db));
            return nullptr;
        }
        return owned;
    }

    // Runs a query and gives column 0 as text and column 1 (when present) as bytes.
    static std::vector<Row> query(sqlite3 *db, const char *sql, const QString &parameter = {})
    {
        std::vector<Row> rows;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
            qWarning("%s: %s", sql, sqlite3_errmsg(db));
            return rows;
        }
        const QByteArray bound = parameter.toUtf8();
        if (!parameter.isNull())
            sqlite3_bind_text(statement, 1, bound.constData(), int(bound.size()), SQLITE_STATIC);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            Row row;
            row.text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
            if (sqlite3_column_count(statement) > 1) {
                const void *blob = sqlite3_column_blob(statement, 1);
                row.blob = QByteArray(static_cast<const char *>(blob), sqlite3_column_bytes(statement, 1));
            }
            rows.push_back(row);
        }
        sqlite3_finalize(statement);
        return rows;
    }

private slots:
    void elementIndexOrder()
    {
        const Database db = open(QStringLiteral("tags.db"));
        QVERIFY(db);
        // The rows the editor reads, in the order of the index named Element.
        const auto rows = query(
            db.get(), "SELECT Element FROM tags INDEXED BY Element ORDER BY Element COLLATE NOCASE, rowid");
        QVERIFY(rows.size() >= 4);
        // The first three rows are the non-selector entries that the tree leaves out;
        // "A" is the fourth, whose picture also marks the pseudo-class nodes.
        for (int i = 0; i < 3; ++i)
            QVERIFY2(rows[i].text.startsWith(u'!'), qPrintable(rows[i].text));
        QCOMPARE(rows[3].text, QStringLiteral("A"));
        // A look-up by name ignores case and must find exactly one row.
        QCOMPARE(
            query(db.get(), "SELECT Element FROM tags WHERE Element = ? COLLATE NOCASE", QStringLiteral("a"))
                .size(),
            std::size_t(1));
        QVERIFY(
            query(db.get(), "SELECT Element FROM tags GROUP BY Element COLLATE NOCASE HAVING count(*) > 1")
                .empty());
        const auto headings =
            query(db.get(), "SELECT Element FROM tags WHERE Element IN ('H1', 'TABLE', 'UL')");
        QCOMPARE(headings.size(), std::size_t(3));
    }

    void elementPictures()
    {
        const Database db = open(QStringLiteral("tags.db"));
        QVERIFY(db);
        const auto rows = query(db.get(), "SELECT Element, Image FROM tags");
        QVERIFY(!rows.empty());
        for (const Row &row : rows) {
            const QImage image = QImage::fromData(row.blob, "PNG");
            QVERIFY2(!image.isNull(), qPrintable(row.text));
            QCOMPARE(image.size(), QSize(16, 16));
            // A picture that came out fully transparent would show nothing.
            bool drawn = false;
            for (int y = 0; y < 16 && !drawn; ++y)
                for (int x = 0; x < 16 && !drawn; ++x)
                    drawn = qAlpha(image.pixel(x, y)) != 0;
            QVERIFY2(drawn, qPrintable(row.text));
        }
    }

    void attributeKinds_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QStringList>("words");
        const QStringList none;
        QTest::newRow("color") << QStringLiteral("color") << QStringLiteral("<Color>") << none;
        QTest::newRow("background-color")
            << QStringLiteral("background-color") << QStringLiteral("<Color>") << none;
        QTest::newRow("border-color") << QStringLiteral("border-color") << QStringLiteral("<Color>") << none;
        QTest::newRow("font-family") << QStringLiteral("font-family") << QStringLiteral("<Font>") << none;
        QTest::newRow("width") << QStringLiteral("width") << QStringLiteral("<Number>") << none;
        QTest::newRow("height") << QStringLiteral("height") << QStringLiteral("<Number>") << none;
        QTest::newRow("margin-left") << QStringLiteral("margin-left") << QStringLiteral("<Number>") << none;
        QTest::newRow("z-index") << QStringLiteral("z-index") << QStringLiteral("<Number>") << none;
        QTest::newRow("background-image")
            << QStringLiteral("background-image") << QStringLiteral("<URL>") << none;
        QTest::newRow("list-style-image")
            << QStringLiteral("list-style-image") << QStringLiteral("<URL>") << none;
        QTest::newRow("font-weight words") << QStringLiteral("font-weight") << QString()
                                           << QStringList{QStringLiteral("normal"), QStringLiteral("bold"),
                                                          QStringLiteral("100"), QStringLiteral("900")};
        QTest::newRow("text-align words") << QStringLiteral("text-align") << QString()
                                          << QStringList{QStringLiteral("left"), QStringLiteral("center")};
        QTest::newRow("display words") << QStringLiteral("display") << QString()
                                       << QStringList{QStringLiteral("block"), QStringLiteral("none")};
        QTest::newRow("font-style words")
            << QStringLiteral("font-style") << QString() << QStringList{QStringLiteral("italic")};
    }

    void attributeKinds()
    {
        QFETCH(QString, attribute);
        QFETCH(QString, marker);
        QFETCH(QStringList, words);
        const Database db = open(QStringLiteral("css.db"));
        QVERIFY(db);
        const auto rows = query(db.get(), "SELECT \"Values\" FROM css WHERE Attribute = ?", attribute);
        QCOMPARE(rows.size(), std::size_t(1));
        const QStringList lines = rows[0].text.split(u'\n');
        if (!marker.isEmpty()) {
            QCOMPARE(lines, QStringList{marker});
        } else {
            QVERIFY2(!lines.first().startsWith(u'<'), qPrintable(rows[0].text));
            for (const QString &word : words)
                QVERIFY2(lines.contains(word), qPrintable(word));
        }
    }

    void attributeValuesWellFormed()
    {
        const Database db = open(QStringLiteral("css.db"));
        QVERIFY(db);
        const auto rows = query(db.get(), "SELECT Attribute, \"Values\" FROM css ORDER BY rowid");
        QVERIFY(!rows.empty());
        const QStringList markers{QStringLiteral("<Color>"), QStringLiteral("<Number>"),
                                  QStringLiteral("<Font>"), QStringLiteral("<URL>")};
        QSet<QString> names;
        for (const Row &row : rows) {
            const QString values = QString::fromUtf8(row.blob);
            QVERIFY2(!names.contains(row.text), qPrintable(row.text));
            names.insert(row.text);
            if (values.isEmpty())
                continue;
            QVERIFY2(!values.contains(u'\r'), qPrintable(row.text));
            const QStringList lines = values.split(u'\n');
            // The first line decides the kind: it is never empty, and a marker is one
            // of the four known ones (a misspelt one would silently mean "no kind").
            QVERIFY2(!lines.first().isEmpty(), qPrintable(row.text));
            if (lines.first().startsWith(u'<')) {
                QVERIFY2(lines.size() == 1 && markers.contains(lines.first()), qPrintable(row.text));
            } else {
                for (const QString &word : lines)
                    QVERIFY2(!word.isEmpty() && word == word.trimmed(), qPrintable(row.text));
            }
        }
    }

    void htmlAttributes()
    {
        const Database db = open(QStringLiteral("attributes.db"));
        QVERIFY(db);
        const char *sql = "SELECT Attribute FROM attributes WHERE Element = ?";
        const auto toNames = [](const std::vector<Row> &rows) {
            QStringList names;
            for (const Row &row : rows)
                names.append(row.text);
            return names;
        };
        const QStringList global = toNames(query(db.get(), sql, QStringLiteral("*")));
        QVERIFY(global.contains(QStringLiteral("class")));
        QVERIFY(global.contains(QStringLiteral("id")));
        QVERIFY(toNames(query(db.get(), sql, QStringLiteral("A"))).contains(QStringLiteral("href")));
    }

    void supportFiles()
    {
        const QDir folder(TestEnvironment::programFolder());
        QFile registry(folder.filePath(QStringLiteral("registry-defaults.reg")));
        QVERIFY(registry.open(QIODevice::ReadOnly));
        QCOMPARE(registry.readAll(), QByteArray("Windows Registry Editor Version 5.00\r\n\r\n"
                                                "[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\r\n"
                                                "\"Template\"=\"CreateNewTemplate\"\r\n"));
        const QDir treeControl(folder.filePath(QStringLiteral("tree control")));
        const QStringList pictures = treeControl.entryList({QStringLiteral("*.png")}, QDir::Files);
        QVERIFY(!pictures.isEmpty());
        for (const QString &name : pictures)
            QCOMPARE(QImage(treeControl.filePath(name)).size(), QSize(16, 16));
    }
};

LW_TEST_CLASS(TestCatalogueTables)
#include "TestCatalogueTables.moc"
