#include "CatalogueDrag.h"
#include "Document.h"
#include "DocumentEdits.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <memory>

namespace {

// A catalogue tree like the real one: root "Attributes"; color (1), font-weight (4)
// with its words, margin-left (2).
void fillCatalogue(QStandardItemModel &model)
{
    auto item = [](const char *label, int kind) {
        auto *node = new QStandardItem(QString::fromLatin1(label));
        node->setData(kind, CatalogueDrag::PictureRole);
        return node;
    };
    QStandardItem *root = item("Attributes", 0);
    model.appendRow(root);
    root->appendRow(item("color", 1));
    QStandardItem *weight = item("font-weight", 4);
    root->appendRow(weight);
    weight->appendRow(item("normal", 4));
    weight->appendRow(item("bold", 4));
    root->appendRow(item("margin-left", 2));
}

// Records the drags it is asked to start instead of running them.
class RecordingPropertiesView : public PropertiesTreeView
{
public:
    std::vector<CatalogueDrag::Node> started;

protected:
    void startCatalogueDrag(const QModelIndex &, QMimeData *data) override
    {
        std::unique_ptr<QMimeData> owned(data);
        const auto node = CatalogueDrag::fromMimeData(owned.get());
        QVERIFY(node);
        started.push_back(*node);
    }
};

CatalogueDrag::Node attributeNode(int row, const char *label, int kind)
{
    return {row, -1, QString::fromLatin1(label), kind, QString()};
}

CatalogueDrag::Node choiceNode(int row, int choice, const char *label, const char *parent)
{
    return {row, choice, QString::fromLatin1(label), 4, QString::fromLatin1(parent)};
}

void sendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

Catalogue::ElementList elementList(const QStringList &shownRows)
{
    Catalogue::ElementList list;
    list.rows = int(shownRows.size()) + 3;
    for (const QString &row : shownRows)
        list.nodes.push_back({row, 6});
    return list;
}

} // namespace

Q_DECLARE_METATYPE(CatalogueDrag::Node)

class TestTreeViews : public QObject
{
    Q_OBJECT
private slots:
    void mimeRoundTrip_data()
    {
        QTest::addColumn<CatalogueDrag::Node>("node");
        QTest::newRow("attribute") << attributeNode(0, "color", 1);
        QTest::newRow("choice word") << choiceNode(1, 1, "bold", "font-weight");
        QTest::newRow("non-Latin label") << CatalogueDrag::Node{3, -1, QStringLiteral("größe"), 0, {}};
    }
    void mimeRoundTrip()
    {
        QFETCH(CatalogueDrag::Node, node);
        std::unique_ptr<QMimeData> data(CatalogueDrag::mimeData(node));
        QVERIFY(data->hasFormat(CatalogueDrag::MimeType));
        QCOMPARE(CatalogueDrag::fromMimeData(data.get()), std::optional(node));
    }

    void foreignOrDamagedMime_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("payload");
        std::unique_ptr<QMimeData> good(CatalogueDrag::mimeData(choiceNode(1, 1, "bold", "font-weight")));
        const QByteArray bytes = good->data(CatalogueDrag::MimeType);
        QTest::newRow("plain text") << "text/plain" << QByteArray("color");
        QTest::newRow("empty payload") << CatalogueDrag::MimeType << QByteArray();
        QTest::newRow("cut short") << CatalogueDrag::MimeType << bytes.left(bytes.size() - 3);
        QTest::newRow("trailing bytes") << CatalogueDrag::MimeType << bytes + QByteArray("x");
        QTest::newRow("garbage") << CatalogueDrag::MimeType << QByteArray(64, '\xff');
    }
    // Anything but an intact node of ours is no node.
    void foreignOrDamagedMime()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, payload);
        QMimeData data;
        data.setData(format, payload);
        QVERIFY(!CatalogueDrag::fromMimeData(&data));
    }

    // The node of a catalogue index: the root is none; a word knows its attribute.
    void nodeAt()
    {
        QStandardItemModel model;
        fillCatalogue(model);
        const QModelIndex root = model.index(0, 0);
        QVERIFY(!CatalogueDrag::nodeAt(root));
        QVERIFY(!CatalogueDrag::nodeAt({}));
        QCOMPARE(CatalogueDrag::nodeAt(model.index(2, 0, root)),
                 std::optional(attributeNode(2, "margin-left", 2)));
        QCOMPARE(CatalogueDrag::nodeAt(model.index(1, 0, model.index(1, 0, root))),
                 std::optional(choiceNode(1, 1, "bold", "font-weight")));
    }

    void dragStart_data()
    {
        QTest::addColumn<QList<int>>("path"); // rows from the root
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<CatalogueDrag::Node>("node");

        const CatalogueDrag::Node noNode;
        QTest::newRow("attribute, moved 4 px")
            << QList<int>{0, 0} << Qt::LeftButton << QPoint(4, 0) << true << attributeNode(0, "color", 1);
        QTest::newRow("attribute, moved 2+2 px") << QList<int>{0, 2} << Qt::LeftButton << QPoint(2, -2)
                                                 << true << attributeNode(2, "margin-left", 2);
        QTest::newRow("attribute, moved 3 px")
            << QList<int>{0, 0} << Qt::LeftButton << QPoint(0, 3) << false << noNode;
        QTest::newRow("choice word") << QList<int>{0, 1, 1} << Qt::LeftButton << QPoint(6, 0) << true
                                     << choiceNode(1, 1, "bold", "font-weight");
        QTest::newRow("choice attribute")
            << QList<int>{0, 1} << Qt::LeftButton << QPoint(6, 0) << false << noNode;
        QTest::newRow("root") << QList<int>{0} << Qt::LeftButton << QPoint(6, 0) << false << noNode;
        QTest::newRow("right button")
            << QList<int>{0, 0} << Qt::RightButton << QPoint(6, 0) << false << noNode;
    }
    // A press selects the node; a childless node starts a drag once the pointer has
    // moved 4 pixels with the button held.
    void dragStart()
    {
        QFETCH(QList<int>, path);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, move);
        QFETCH(bool, starts);
        QFETCH(CatalogueDrag::Node, node);
        QStandardItemModel model;
        fillCatalogue(model);
        RecordingPropertiesView view;
        view.setModel(&model);
        view.expandAll();
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QModelIndex pressed;
        for (int row : path)
            pressed = model.index(row, 0, pressed);
        const QPoint at = view.visualRect(pressed).center();
        QWidget *viewport = view.viewport();
        sendMouse(viewport, QEvent::MouseButtonPress, button, button, at);
        QCOMPARE(view.currentIndex(), pressed);
        sendMouse(viewport, QEvent::MouseMove, Qt::NoButton, button, at + move);
        QCOMPARE(view.started.size(), size_t(starts ? 1 : 0));
        if (!starts)
            return;
        QCOMPARE(view.started.front(), node);
        // Moving on starts no second drag.
        sendMouse(viewport, QEvent::MouseMove, Qt::NoButton, button, at + move * 3);
        sendMouse(viewport, QEvent::MouseButtonRelease, button, Qt::NoButton, at + move * 3);
        QCOMPARE(view.started.size(), size_t(1));
    }

    // A move without a held button (hovering after a release) starts nothing.
    void noDragAfterRelease()
    {
        QStandardItemModel model;
        fillCatalogue(model);
        RecordingPropertiesView view;
        view.setModel(&model);
        view.expandAll();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QPoint at = view.visualRect(model.index(0, 0, model.index(0, 0))).center();
        sendMouse(view.viewport(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
        sendMouse(view.viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
        sendMouse(view.viewport(), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at + QPoint(10, 0));
        QVERIFY(view.started.empty());
    }

    void drop_data()
    {
        QTest::addColumn<int>("element"); // -2: empty space, -1: the root
        QTest::addColumn<int>("attribute");
        QTest::addColumn<CatalogueDrag::Node>("node");
        QTest::addColumn<int>("expectedElement"); // -1: nothing added
        QTest::addColumn<QString>("expectedLabel");

        QTest::newRow("attribute onto an attribute of P")
            << 1 << 0 << attributeNode(0, "color", 1) << 1 << "color=";
        QTest::newRow("choice word onto H1")
            << 0 << -1 << choiceNode(1, 1, "bold", "font-weight") << 0 << "font-weight=bold";
        QTest::newRow("onto the root") << -1 << -1 << attributeNode(0, "color", 1) << -1 << QString();
        QTest::newRow("onto empty space") << -2 << -1 << attributeNode(0, "color", 1) << -1 << QString();
    }
    // A catalogue drag is welcome anywhere over the element tree; the drop reports the
    // node under the drop point, and the document edit does the rest.
    void drop()
    {
        QFETCH(int, element);
        QFETCH(int, attribute);
        QFETCH(CatalogueDrag::Node, node);
        QFETCH(int, expectedElement);
        QFETCH(QString, expectedLabel);
        Document document;
        document.applyElementList(elementList({"H1", "P"}));
        StyleSheetModel &model = document.elements();
        model.sheet().appendAttribute(1, QStringLiteral("margin=5"), 2);
        ElementsTreeView view;
        view.setModel(&model);
        view.expandAll();
        view.resize(300, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const QModelIndex target = element == -2   ? QModelIndex()
                                   : element == -1 ? model.rootIndex()
                                   : attribute < 0 ? model.elementIndex(element)
                                                   : model.attributeIndex(element, attribute);
        const QPoint at = target.isValid() ? view.visualRect(target).center() : QPoint(150, 380);
        QCOMPARE(view.indexAt(at), target);

        QModelIndex dropped;
        int drops = 0;
        connect(&view, &ElementsTreeView::catalogueNodeDropped, &view,
                [&](const QModelIndex &index, const CatalogueDrag::Node &carried) {
                    ++drops;
                    dropped = index;
                    QCOMPARE(carried, node);
                    DocumentEdits::dropOnElements(document, index, carried.label, carried.kind,
                                                  carried.choiceParentLabel);
                });

        std::unique_ptr<QMimeData> data(CatalogueDrag::mimeData(node));
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent over(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &over);
        QVERIFY(over.isAccepted());
        QCOMPARE(over.dropAction(), Qt::CopyAction);
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &drop);
        QVERIFY(drop.isAccepted());

        QCOMPARE(drops, 1);
        QCOMPARE(dropped, target);
        QCOMPARE(document.isModified(), expectedElement >= 0);
        const int total = int(model.element(0).attributes.size() + model.element(1).attributes.size());
        QCOMPARE(total, expectedElement < 0 ? 1 : 2);
        if (expectedElement >= 0) {
            const AttributeNode &added = model.element(expectedElement).attributes.back();
            QCOMPARE(added.label(DocumentForm::Editor), expectedLabel);
            QCOMPARE(added.picture, node.kind);
        }
    }

    // Drags of anything else are turned away and their drops report nothing.
    void foreignDragRefused()
    {
        Document document;
        document.applyElementList(elementList({"H1"}));
        ElementsTreeView view;
        view.setModel(&document.elements());
        view.expandAll();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy drops(&view, &ElementsTreeView::catalogueNodeDropped);
        const QPoint at = view.visualRect(document.elements().elementIndex(0)).center();
        QMimeData data;
        data.setText(QStringLiteral("color"));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &drop);
        QCOMPARE(drops.size(), 0);
        QCOMPARE(document.elements().element(0).attributes.size(), size_t(0));
    }

    // Every change of the current node is reported: a click, the keyboard, the
    // removal of the current node, and a new document (which leaves none).
    void currentNodeChanges()
    {
        Document document;
        document.applyElementList(elementList({"H1", "P"}));
        StyleSheetModel &model = document.elements();
        model.sheet().appendAttribute(1, QStringLiteral("color=red"), 1);
        model.sheet().appendAttribute(1, QStringLiteral("margin=5"), 2);
        ElementsTreeView view;
        view.setModel(&model);
        view.expandAll();
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy changes(&view, &ElementsTreeView::currentNodeChanged);
        auto last = [&] { return changes.last().at(0).value<QModelIndex>(); };

        const QModelIndex color = model.attributeIndex(1, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(color).center());
        QCOMPARE(changes.size(), 1);
        QCOMPARE(last(), color);

        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(changes.size(), 2);
        QCOMPARE(last(), model.attributeIndex(1, 1));

        DocumentEdits::deleteProperty(document, view.currentIndex());
        QCOMPARE(changes.size(), 3);
        QCOMPARE(last(), view.currentIndex());

        document.applyElementList(elementList({"H1", "P"}));
        QCOMPARE(changes.size(), 4);
        QVERIFY(!last().isValid());
        QVERIFY(!view.currentIndex().isValid());
    }

    void uniformRowHeights()
    {
        QVERIFY(PropertiesTreeView().uniformRowHeights());
        QVERIFY(ElementsTreeView().uniformRowHeights());
    }
};

LW_TEST_CLASS(TestTreeViews)
#include "TestTreeViews.moc"
