#include "AttributeListModel.h"
#include "CatalogueDrag.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "TCSpinEdit.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QDrag>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

// The catalogue node labelled `attribute`, or its choice word `choice`.
QModelIndex catalogueNode(TMainForm &form, const QString &attribute, const QString &choice = {})
{
    AttributeListModel &list = form.attributeList();
    const auto &attributes = list.attributes();
    for (size_t i = 0; i < attributes.size(); ++i) {
        if (attributes[i].label != attribute)
            continue;
        if (choice.isEmpty())
            return list.attributeIndex(int(i));
        return list.choiceIndex(int(i), int(attributes[i].choices.indexOf(choice)));
    }
    return {};
}

QPoint showInProperties(TMainForm &form, const QModelIndex &node)
{
    form.Properties->expand(node.parent());
    form.Properties->scrollTo(node);
    return form.Properties->visualRect(node).center();
}

void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Presses the left button on a catalogue node and moves the pointer 10 pixels; gives
// whether a drag began. (Without a window system the drag ends at once, before its
// QDrag object is deleted.)
bool pressAndMove(TMainForm &form, const QModelIndex &node)
{
    QWidget *viewport = form.Properties->viewport();
    const QPoint at = showInProperties(form, node);
    sendMouse(viewport, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
    sendMouse(viewport, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, at + QPoint(10, 0));
    const bool began = form.Properties->findChild<QDrag *>() != nullptr;
    sendMouse(viewport, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at + QPoint(10, 0));
    QTest::qWait(20);
    return began;
}

// Drops the catalogue node on `Elements` at `at` (viewport coordinates) the way the
// window system delivers a drag: enter, move, drop.
void dropAt(TMainForm &form, const QModelIndex &catalogueNode, QPoint at)
{
    const auto node = CatalogueDrag::nodeAt(catalogueNode);
    QVERIFY(node);
    const std::unique_ptr<QMimeData> data(CatalogueDrag::mimeData(*node));
    QWidget *viewport = form.Elements->viewport();
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent over(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &over);
    QVERIFY(over.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
}

} // namespace

// Drags from the attribute catalogue onto the element tree, and the catalogue's own
// labels.
class TestCatalogueDrops : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void aDragBeginsOnlyOnAChildlessNode_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("begins");
        QTest::newRow("plain attribute") << "color" << QString() << true;
        QTest::newRow("choice word") << "font-weight"
                                     << "bold" << true;
        QTest::newRow("choice attribute") << "font-weight" << QString() << false;
    }

    void aDragBeginsOnlyOnAChildlessNode()
    {
        QFETCH(QString, attribute);
        QFETCH(QString, choice);
        QFETCH(bool, begins);
        const auto form = startMainWindow();
        QVERIFY(form);
        const QModelIndex node = catalogueNode(*form, attribute, choice);
        QVERIFY(node.isValid());
        QCOMPARE(pressAndMove(*form, node), begins);
    }

    void drops_data()
    {
        QTest::addColumn<QString>("targetElement"); // empty: the root; "-": empty space
        QTest::addColumn<QString>("targetAttribute");
        QTest::addColumn<QString>("attribute"); // the dragged catalogue node
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("element"); // where a node is added, or none
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<int>("picture");

        QTest::newRow("plain attribute onto an attribute of P")
            << "P"
            << "margin=5"
            << "color" << QString() << "P" << QStringList{"margin=5", "color="} << 1;
        QTest::newRow("choice word onto H1") << "H1" << QString() << "font-weight"
                                             << "bold"
                                             << "H1" << QStringList{"font-weight=bold"} << 4;
        QTest::newRow("onto the root")
            << QString() << QString() << "color" << QString() << QString() << QStringList() << 0;
        QTest::newRow("onto empty space")
            << "-" << QString() << "color" << QString() << QString() << QStringList() << 0;
    }

    // A drop adds the node to the element under the drop point and marks the sheet
    // modified; one that adds nothing leaves it as it was. The selection and the
    // editors stay.
    void drops()
    {
        QFETCH(QString, targetElement);
        QFETCH(QString, targetAttribute);
        QFETCH(QString, attribute);
        QFETCH(QString, choice);
        QFETCH(QString, element);
        QFETCH(QStringList, labels);
        QFETCH(int, picture);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "P {margin=5}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QModelIndex margin = findNode(*form, QStringLiteral("P"), QStringLiteral("margin=5"));
        clickNode(*form, margin);
        QVERIFY(form->Numbers->isEnabled());
        form->document().setModified(false);
        const int elementCount = form->document().elements().elementCount();

        QPoint at;
        if (targetElement == QLatin1String("-")) {
            form->Elements->collapse(findNode(*form, {}));
            at = QPoint(10, form->Elements->viewport()->height() - 5);
        } else {
            const QModelIndex target = findNode(*form, targetElement, targetAttribute);
            form->Elements->scrollTo(target);
            at = form->Elements->visualRect(target).center();
        }
        const QModelIndex dragged = catalogueNode(*form, attribute, choice);
        showInProperties(*form, dragged);
        dropAt(*form, dragged, at);

        QCOMPARE(form->document().isModified(), !element.isEmpty());
        QCOMPARE(form->document().elements().elementCount(), elementCount);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")),
                 element == QLatin1String("P") ? labels : QStringList{QStringLiteral("margin=5")});
        QCOMPARE(attributeLabels(*form, QStringLiteral("H1")),
                 element == QLatin1String("H1") ? labels : QStringList());
        if (!element.isEmpty()) {
            const QModelIndex added = findNode(*form, element, labels.last());
            QCOMPARE(added.data(StyleSheetModel::PictureRole).toInt(), picture);
        }
        QCOMPARE(form->Elements->currentIndex(), margin);
        QVERIFY(form->Numbers->isEnabled());
    }

    // Catalogue labels are edited in place too; a drag carries the edited label, and
    // the style sheet is not modified by it.
    void catalogueLabelEdit()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        const QModelIndex color = catalogueNode(*form, QStringLiteral("color"));
        showInProperties(*form, color);
        form->Properties->setCurrentIndex(color);
        // F2 edits the label of the tree that has the keyboard.
        form->Properties->setFocus();
        QTest::keyClick(form->Properties, Qt::Key_F2);
        QLineEdit *edit = nullptr;
        QTRY_VERIFY((edit = form->Properties->viewport()->findChild<QLineEdit *>()) != nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("outline-color"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY(!form->Properties->viewport()->findChild<QLineEdit *>());
        QCOMPARE(color.data().toString(), QStringLiteral("outline-color"));
        QCOMPARE(CatalogueDrag::nodeAt(color)->label, QStringLiteral("outline-color"));
        QVERIFY(!form->document().isModified());
    }
};

LW_TEST_CLASS(TestCatalogueDrops)
#include "TestCatalogueDrops.moc"
