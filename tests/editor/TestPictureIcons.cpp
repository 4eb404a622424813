#include "PictureIcons.h"
#include "StyleSheetModel.h"
#include "TestRegistry.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

namespace {

QByteArray png(int size, QRgb colour)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QRgb colourOf(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().pixel(8, 8) | 0xff000000;
}

constexpr QRgb Red = 0xffff0000;
constexpr QRgb Green = 0xff00ff00;

} // namespace

class TestPictureIcons : public QObject
{
    Q_OBJECT

private slots:
    void unusablePicturesShowPictureZero_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QRgb>("shown");
        QTest::newRow("16 x 16 is its own") << png(16, Green) << Green;
        QTest::newRow("empty") << QByteArray() << Red;
        QTest::newRow("20 x 20") << png(20, Green) << Red;
        QTest::newRow("8 x 8") << png(8, Green) << Red;
        QTest::newRow("not an image") << QByteArray("no picture here") << Red;
    }

    void unusablePicturesShowPictureZero()
    {
        QFETCH(QByteArray, picture);
        QFETCH(QRgb, shown);
        ImageList images({png(16, Red)});
        const int number = images.append(picture);
        QCOMPARE(number, 6);
        const PictureIcons icons(images);
        QCOMPARE(colourOf(icons.icon(number)), shown);
        QCOMPARE(colourOf(icons.icon(1)), Red); // a missing kind picture
    }

    void picturesAppendedLaterAreShown()
    {
        ImageList images({png(16, Red)});
        const PictureIcons icons(images);
        QCOMPARE(colourOf(icons.icon(3)), Red);
        const int number = images.append(png(16, Green));
        QCOMPARE(colourOf(icons.icon(number)), Green);
        QCOMPARE(colourOf(icons.icon(number + 1)), Red); // beyond the list
    }

    // Blocks, at-rules with declarations and statements each show a picture of their
    // own, none of them picture 0's look.
    void nodePicturesAreTheirOwn()
    {
        ImageList images({png(16, Red)});
        const PictureIcons icons(images);
        QList<QImage> shown;
        for (const int picture : {int(BlockPicture), int(AtRulePicture), int(StatementPicture)}) {
            const QIcon icon = icons.icon(picture);
            QVERIFY(!icon.isNull());
            shown << icon.pixmap(16, 16).toImage();
            QVERIFY(shown.back() != icons.icon(0).pixmap(16, 16).toImage());
        }
        QVERIFY(shown[0] != shown[1] && shown[1] != shown[2] && shown[0] != shown[2]);
        QCOMPARE(colourOf(icons.icon(-4)), Red); // no such node picture
    }

    void noPictureZeroGivesNoDecoration()
    {
        ImageList images;
        const PictureIcons icons(images);
        QVERIFY(icons.icon(0).isNull());
        QVERIFY(!icons.decoration(4).isValid());
    }
};

LW_TEST_CLASS(TestPictureIcons)
#include "TestPictureIcons.moc"
