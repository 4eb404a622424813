#include "TColorArrayClass.h"
#include "TestRegistry.h"

#include <QTest>

class TestColorArray : public QObject
{
    Q_OBJECT

private slots:
    void cellAndIndexAddressTheSameEntry_data();
    void cellAndIndexAddressTheSameEntry();
    void outsideTheGridRaises_data();
    void outsideTheGridRaises();
    void resizingReallocates();
    void storedFormIsColumnByColumn();
    void readingTooManyStoredColoursRaises();
    void equality_data();
    void equality();
    void assignCopiesSizesAndColours();
};

void TestColorArray::cellAndIndexAddressTheSameEntry_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("index");
    QTest::newRow("first cell") << 1 << 1 << 1;
    QTest::newRow("end of row 1") << 4 << 1 << 4;
    QTest::newRow("start of row 2") << 1 << 2 << 5;
    QTest::newRow("middle") << 3 << 2 << 7;
    QTest::newRow("last cell") << 4 << 5 << 20;
}

void TestColorArray::cellAndIndexAddressTheSameEntry()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, index);
    TColorArrayClass grid(4, 5);
    grid.setCell(x, y, 0x123456);
    QCOMPARE(grid.at(index), 0x123456u);
    for (int k = 1; k <= grid.count(); ++k)
        if (k != index)
            QCOMPARE(grid.at(k), 0u);
    grid.setAt(index, 0xABCDEF);
    QCOMPARE(grid.cell(x, y), 0xABCDEFu);
}

void TestColorArray::outsideTheGridRaises_data()
{
    QTest::addColumn<bool>("byIndex");
    QTest::addColumn<int>("x"); // or the single index
    QTest::addColumn<int>("y");
    QTest::newRow("column 0") << false << 0 << 1;
    QTest::newRow("column past the width, flat entry inside") << false << 5 << 1;
    QTest::newRow("row 0") << false << 1 << 0;
    QTest::newRow("row past the height") << false << 1 << 6;
    QTest::newRow("index 0") << true << 0 << 0;
    QTest::newRow("index past the count") << true << 21 << 0;
    QTest::newRow("negative index") << true << -1 << 0;
}

void TestColorArray::outsideTheGridRaises()
{
    QFETCH(bool, byIndex);
    QFETCH(int, x);
    QFETCH(int, y);
    TColorArrayClass grid(4, 5);
    auto message = [](const std::function<void()> &f) {
        try {
            f();
        } catch (const EColorArrayIndexError &e) {
            return QString::fromLatin1(e.what());
        }
        return QStringLiteral("no error");
    };
    const QString expected = QStringLiteral("Array index out of bounds");
    if (byIndex) {
        QCOMPARE(message([&] { grid.at(x); }), expected);
        QCOMPARE(message([&] { grid.setAt(x, 1); }), expected);
    } else {
        QCOMPARE(message([&] { grid.cell(x, y); }), expected);
        QCOMPARE(message([&] { grid.setCell(x, y, 1); }), expected);
    }
}

void TestColorArray::resizingReallocates()
{
    TColorArrayClass grid(2, 2);
    grid.setAt(1, 7);
    grid.setXSize(2); // same size: kept
    QCOMPARE(grid.at(1), 7u);
    grid.setXSize(3);
    QCOMPARE(grid.count(), 6);
    QCOMPARE(grid.at(1), 0u);
    grid.setYSize(-1);
    QCOMPARE(grid.count(), 0);
    QVERIFY_THROWS_EXCEPTION(EColorArrayIndexError, grid.at(1));
}

void TestColorArray::storedFormIsColumnByColumn()
{
    TColorArrayClass grid(3, 2);
    for (int k = 1; k <= 6; ++k)
        grid.setAt(k, uint32_t(k * 10)); // row 1: 10 20 30, row 2: 40 50 60
    const QList<uint32_t> stored = grid.storedColors();
    QCOMPARE(stored, (QList<uint32_t>{10, 40, 20, 50, 30, 60}));

    TColorArrayClass read(1, 1);
    read.setAt(1, 99);
    read.readStored(3, 2, stored);
    QCOMPARE(read, grid);

    read.readStored(3, 2, {1, 2});
    QCOMPARE(read.cell(1, 1), 1u);
    QCOMPARE(read.cell(1, 2), 2u);
    QCOMPARE(read.cell(2, 1), 0u); // cells past a short list are cleared, not left over
}

void TestColorArray::readingTooManyStoredColoursRaises()
{
    TColorArrayClass grid;
    QVERIFY_THROWS_EXCEPTION(EColorArrayIndexError, grid.readStored(1, 2, {1, 2, 3}));
}

void TestColorArray::equality_data()
{
    QTest::addColumn<int>("otherX");
    QTest::addColumn<int>("otherY");
    QTest::addColumn<int>("changedIndex"); // 0 = none
    QTest::addColumn<bool>("equal");
    QTest::newRow("same sizes and cells") << 4 << 5 << 0 << true;
    QTest::newRow("one cell differs") << 4 << 5 << 20 << false;
    QTest::newRow("same count, other shape") << 5 << 4 << 0 << false;
    QTest::newRow("other size") << 4 << 4 << 0 << false;
}

void TestColorArray::equality()
{
    QFETCH(int, otherX);
    QFETCH(int, otherY);
    QFETCH(int, changedIndex);
    QFETCH(bool, equal);
    TColorArrayClass grid(4, 5);
    TColorArrayClass other(otherX, otherY);
    if (changedIndex)
        other.setAt(changedIndex, 1);
    QCOMPARE(grid.equals(&other), equal);
    QCOMPARE(other.equals(&grid), equal);
    QVERIFY(grid.equals(&grid));
    QVERIFY(!grid.equals(nullptr));
}

void TestColorArray::assignCopiesSizesAndColours()
{
    TColorArrayClass source(8, 2);
    source.setCell(8, 2, 0xFFFFFF);
    TColorArrayClass target(4, 5);
    target.assign(source);
    QCOMPARE(target.XSize(), 8);
    QCOMPARE(target.YSize(), 2);
    QCOMPARE(target.cell(8, 2), 0xFFFFFFu);
    source.setCell(8, 2, 0); // a copy, not shared
    QCOMPARE(target.cell(8, 2), 0xFFFFFFu);
}

LW_TEST_CLASS(TestColorArray)
#include "TestColorArray.moc"
