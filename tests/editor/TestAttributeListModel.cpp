#include "AttributeListModel.h"
#include "TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QTest>

class TestAttributeListModel : public QObject
{
    Q_OBJECT

private:
    static std::vector<Catalogue::AttributeEntry> entries()
    {
        return {
            {QStringLiteral("color"), KindColor, {}},
            {QStringLiteral("text-align"), KindChoice, {QStringLiteral("left"), QStringLiteral("right")}},
            {QStringLiteral("weird"), KindNone, {}},
        };
    }

private slots:
    void showsRootAttributesAndChoices()
    {
        AttributeListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setAttributes(entries());

        QCOMPARE(model.rowCount(), 1);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(root, model.rootIndex());
        QCOMPARE(root.data().toString(), QStringLiteral("Attributes"));
        QCOMPARE(root.data(AttributeListModel::PictureRole).toInt(), 0);
        QCOMPARE(model.rowCount(root), 3);

        const QModelIndex choice = model.index(1, 0, root);
        QCOMPARE(choice.data().toString(), QStringLiteral("text-align"));
        QCOMPARE(choice.data(AttributeListModel::PictureRole).toInt(), int(KindChoice));
        QCOMPARE(model.rowCount(choice), 2);
        const QModelIndex word = model.index(1, 0, choice);
        QCOMPARE(word.data().toString(), QStringLiteral("right"));
        QCOMPARE(word.data(AttributeListModel::PictureRole).toInt(), int(KindChoice));
        QCOMPARE(model.parent(word), choice);
        QCOMPARE(AttributeListModel::levelOf(word), int(AttributeListModel::ChoiceLevel));
        QCOMPARE(model.rowCount(word), 0);

        QCOMPARE(model.index(0, 0, root).data(AttributeListModel::PictureRole).toInt(), int(KindColor));
        QCOMPARE(model.index(2, 0, root).data(AttributeListModel::PictureRole).toInt(), int(KindNone));
        QCOMPARE(model.rowCount(model.index(0, 0, root)), 0);
        QVERIFY(!model.index(3, 0, root).isValid());
        QVERIFY(!model.index(0, 1, root).isValid());
    }

    void decorationComesFromTheProvider()
    {
        AttributeListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setAttributes(entries());
        QVERIFY(!model.rootIndex().data(Qt::DecorationRole).isValid());
        model.setDecorationProvider([](int picture) { return QVariant(picture * 10); });
        const QModelIndex root = model.rootIndex();
        QCOMPARE(model.index(0, 0, root).data(Qt::DecorationRole).toInt(), 10);
        QCOMPARE(model.index(0, 0, model.index(1, 0, root)).data(Qt::DecorationRole).toInt(), 40);
    }
};

LW_TEST_CLASS(TestAttributeListModel)
#include "TestAttributeListModel.moc"
