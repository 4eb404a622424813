#include "Failure.h"
#include "TableStore.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

// Runs SQL on a new or existing file; the statements come from the test itself.
bool execute(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

const TableStore::Layout TagsLayout{QStringLiteral("tags"),    QStringLiteral("Element"),
                                    QStringLiteral("Image"),   QString(),
                                    QStringLiteral("Element"), true};
const TableStore::Layout CssLayout{QStringLiteral("css"),
                                   QStringLiteral("Attribute"),
                                   QString(),
                                   QStringLiteral("Values"),
                                   QString(),
                                   false};

QStringList walk(TableStore &table)
{
    QStringList names;
    for (table.first(); !table.eof(); table.next())
        names << QStringLiteral("%1:%2").arg(table.recNo()).arg(table.firstField());
    return names;
}

} // namespace

class TestTableStore : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_tags;
    QString m_css;

private slots:
    void initTestCase()
    {
        m_tags = m_dir.filePath(QStringLiteral("tags.db"));
        m_css = m_dir.filePath(QStringLiteral("css.db"));
        QVERIFY(execute(m_tags,
                        "CREATE TABLE tags(Element TEXT NOT NULL, Image BLOB);"
                        "CREATE INDEX Element ON tags(Element COLLATE NOCASE);"
                        "INSERT INTO tags VALUES('b', x'01'), ('A', x'0203'), ('!--', NULL), ('B', NULL),"
                        "('It''s', NULL);"));
        QVERIFY(execute(m_css, "CREATE TABLE css(Attribute TEXT NOT NULL, [Values] TEXT NOT NULL DEFAULT '');"
                               "INSERT INTO css VALUES('color', '<Color>'), ('float', 'left\nright\n'),"
                               "('Color', 'x\r\ny'), ('empty', '');"));
    }

    // Rows come in the index's order, ties by insertion; row numbers count all rows.
    void readsInIndexOrder()
    {
        TableStore table;
        table.open(m_tags, TagsLayout);
        QCOMPARE(walk(table), (QStringList{"1:!--", "2:A", "3:b", "4:B", "5:It's"}));
        QCOMPARE(table.recordCount(), 5);
        table.first();
        table.next();
        QCOMPARE(table.image(), QByteArray("\x02\x03"));
    }

    void readsInNaturalOrderWithLines()
    {
        TableStore table;
        table.open(m_css, CssLayout);
        QCOMPARE(walk(table), (QStringList{"1:color", "2:float", "3:Color", "4:empty"}));
        table.first();
        table.next();
        QCOMPARE(table.valuesLines(), (QStringList{"left", "right"}));
        table.next();
        QCOMPARE(table.valuesLines(), (QStringList{"x", "y"}));
        table.next();
        QCOMPARE(table.valuesLines(), QStringList());
    }

    void filters_data()
    {
        QTest::addColumn<bool>("elementTable");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("ignoring case, two rows") << true << "B" << QStringList{"3:b", "4:B"};
        QTest::newRow("ignoring case, lower-case look-up") << true << "a" << QStringList{"2:A"};
        QTest::newRow("quote in the name") << true << "it's" << QStringList{"5:It's"};
        QTest::newRow("no row") << true << "ZZ" << QStringList{};
        QTest::newRow("exact case") << false << "Color" << QStringList{"3:Color"};
        QTest::newRow("case counts") << false << "COLOR" << QStringList{};
    }
    void filters()
    {
        QFETCH(bool, elementTable);
        QFETCH(QString, text);
        QFETCH(QStringList, rows);
        TableStore table;
        table.open(elementTable ? m_tags : m_css, elementTable ? TagsLayout : CssLayout);
        table.setFilter(elementTable ? QStringLiteral("Element") : QStringLiteral("Attribute"), text);
        table.setFiltered(true);
        QCOMPARE(table.recordCount(), rows.size());
        QCOMPARE(walk(table), rows);
        table.setFiltered(false);
        QCOMPARE(table.recordCount(), elementTable ? 5 : 4);
    }

    void damagedTablesFail_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("not a database")
            << QByteArray() << QByteArray("this is no table at all, just some text");
        QTest::newRow("missing index")
            << QByteArray("CREATE TABLE tags(Element TEXT NOT NULL, Image BLOB);") << QByteArray();
        QTest::newRow("missing field") << QByteArray("CREATE TABLE tags(Name TEXT);"
                                                     "CREATE INDEX Element ON tags(Name);")
                                       << QByteArray();
        QTest::newRow("missing table") << QByteArray("CREATE TABLE other(x);") << QByteArray();
    }
    void damagedTablesFail()
    {
        QFETCH(QByteArray, sql);
        QFETCH(QByteArray, raw);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tags.db"));
        if (!raw.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(raw);
        } else {
            QVERIFY(execute(path, sql.constData()));
        }
        TableStore table;
        try {
            table.open(path, TagsLayout);
            QFAIL("a damaged table was opened");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(path), qPrintable(failure.message()));
        }
        QVERIFY(!table.isOpen());
    }

    void missingFileFails()
    {
        TableStore table;
        QVERIFY_THROWS_EXCEPTION(Failure, table.open(m_dir.filePath(QStringLiteral("none.db")), TagsLayout));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("none.db"))));
    }
};

LW_TEST_CLASS(TestTableStore)
#include "TestTableStore.moc"
