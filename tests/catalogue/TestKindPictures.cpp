#include "KindPictures.h"
#include "TestRegistry.h"

#include <QImage>
#include <QTest>

// The six value-kind pictures come from a static library's resources; they are only
// there when its resource initialisation was linked into the program.
class TestKindPictures : public QObject
{
    Q_OBJECT

private slots:
    void picturesLoad()
    {
        for (int kind = 0; kind < KindPictures::Count; ++kind) {
            const QImage image(KindPictures::path(kind));
            QVERIFY2(!image.isNull(), qPrintable(KindPictures::path(kind)));
            QCOMPARE(image.size(), QSize(16, 16));
        }
        QVERIFY(KindPictures::path(-1).isEmpty());
        QVERIFY(KindPictures::path(KindPictures::Count).isEmpty());
    }
};

LW_TEST_CLASS(TestKindPictures)
#include "TestKindPictures.moc"
