#include "CatalogueFixture.h"
#include "DocumentEdits.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestRegistry.h"
#include "TreeDump.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <functional>

// Every edit is one step of the document's history: undone, the document is exactly
// as before (tree and written text); redone, exactly as after. Undoing back to where
// the history began clears the modified flag; any other step sets it.
class TestUndoHistory : public QObject
{
    Q_OBJECT

    // The fixture's catalogue, for the steps that read text back.
    static inline Catalogue *s_catalogue = nullptr;

    using Edit = std::function<void(Document &)>;

    // The node of `element` (a path of labels from the root), or its declaration.
    static QModelIndex at(Document &document, const QStringList &labels)
    {
        const StyleSheetModel &model = document.elements();
        QModelIndex node = model.rootIndex();
        for (const QString &label : labels) {
            QModelIndex found;
            for (int row = 0; row < model.rowCount(node) && !found.isValid(); ++row)
                if (model.index(row, 0, node).data().toString() == label)
                    found = model.index(row, 0, node);
            if (!found.isValid())
                return {};
            node = found;
        }
        return node;
    }

    void start(Document &document, const QString &text)
    {
        m_fixture.start(document);
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, text));
        document.resetHistory(false);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.open());
        s_catalogue = &m_fixture.catalogue;
    }

    void eachStepUndoesAndRedoes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("stepName");
        const QString editor = QStringLiteral("P {color=red; margin=5;}\r\n.note {a=b;}");
        const QString standard = QStringLiteral("@media print {\r\n  .x {color: red; margin: 0;}\r\n}");
        QTest::newRow("value write") << editor << Edit([](Document &d) {
            DocumentEdits::writeValue(d, at(d, {"P", "margin=5"}), QStringLiteral("7"));
        }) << "Change of margin";
        QTest::newRow("value write in a block") << standard << Edit([](Document &d) {
            DocumentEdits::writeValue(d, at(d, {"@media print", ".x", "color: red"}), QStringLiteral("blue"));
        }) << "Change of color";
        QTest::newRow("drop") << editor << Edit([](Document &d) {
            DocumentEdits::dropOnElements(d, at(d, {".note"}), QStringLiteral("color"), 1);
        }) << "Drop of color";
        QTest::newRow("drop of a choice") << standard << Edit([](Document &d) {
            DocumentEdits::dropOnElements(d, at(d, {"@media print", ".x"}), QStringLiteral("left"), 4,
                                          QStringLiteral("text-align"));
        }) << "Drop of text-align";
        QTest::newRow("new element") << editor << Edit([](Document &d) { DocumentEdits::newElement(d); })
                                     << "New Element";
        QTest::newRow("new property")
            << editor << Edit([](Document &d) { DocumentEdits::newProperty(d, at(d, {"P"})); })
            << "New Property";
        QTest::newRow("delete one") << editor << Edit([](Document &d) {
            DocumentEdits::deleteProperty(d, at(d, {"P", "color=red"}));
        }) << "Deletion of color";
        QTest::newRow("delete all of a rule") << standard << Edit([](Document &d) {
            DocumentEdits::deleteProperty(d, at(d, {"@media print", ".x"}));
        }) << "Deletion of the Declarations of .x";
        QTest::newRow("declaration label") << editor << Edit([](Document &d) {
            DocumentEdits::editLabel(d, at(d, {"P", "margin=5"}), QStringLiteral("padding=1"));
        }) << "Edit of margin=5";
        QTest::newRow("root label") << editor << Edit([](Document &d) {
            DocumentEdits::editLabel(d, d.elements().rootIndex(), QStringLiteral("Sheet"));
        }) << "Edit of Elements";
        QTest::newRow("selector label") << editor << Edit([](Document &d) {
            DocumentEdits::editLabel(d, at(d, {".note"}), QStringLiteral(".memo"));
        }) << "Edit of .note";
        QTest::newRow("form") << editor << Edit([](Document &d) {
            DocumentEdits::setForm(d, *s_catalogue, DocumentForm::Standard);
        }) << "Switch to Standard CSS";
    }

    void eachStepUndoesAndRedoes()
    {
        QFETCH(QString, text);
        QFETCH(Edit, edit);
        QFETCH(QString, stepName);
        // The tree as the view shows it, its root's label included.
        const auto shown = [](const Document &d) {
            return d.elements().rootLabel() + QLatin1Char('\n') + TreeDump::tree(d);
        };
        Document document;
        QAbstractItemModelTester tester(&document.elements(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        start(document, text);
        const QString treeBefore = shown(document);
        const QString textBefore = StyleSheetWriter::styleSheetText(document);
        QModelIndex focused;
        document.setFocusListener([&focused](const QModelIndex &index) { focused = index; });

        edit(document);
        QVERIFY(document.isModified());
        QCOMPARE(document.undoStack().count(), 1);
        QCOMPARE(document.undoStack().undoText(), stepName);
        const QString treeAfter = shown(document);
        const QString textAfter = StyleSheetWriter::styleSheetText(document);
        const int nodesAfter = document.elements().elementCount();
        QVERIFY(treeAfter != treeBefore || stepName == QLatin1String("New Element"));

        document.undoStack().undo();
        QCOMPARE(shown(document), treeBefore);
        QCOMPARE(StyleSheetWriter::styleSheetText(document), textBefore);
        QVERIFY(!document.isModified());
        if (stepName != QLatin1String("Switch to Standard CSS"))
            QVERIFY2(focused.isValid(), "the selection has nothing to follow");

        document.undoStack().redo();
        QCOMPARE(document.elements().elementCount(), nodesAfter);
        QCOMPARE(shown(document), treeAfter);
        QCOMPARE(StyleSheetWriter::styleSheetText(document), textAfter);
        QVERIFY(document.isModified());
    }

    // The writes of one session merge into one step; another session, or session 0,
    // makes a step of its own; typing back to the old text leaves no step.
    void typedCharactersMerge()
    {
        Document document;
        start(document, QStringLiteral("P {margin=5; color=red;}"));
        const auto margin = [&] { return at(document, {"P"}).model()->index(0, 0, at(document, {"P"})); };
        for (const char *typed : {"1", "12", "123"})
            DocumentEdits::writeValue(document, margin(), QString::fromLatin1(typed), 7);
        QCOMPARE(document.undoStack().count(), 1);
        DocumentEdits::writeValue(document, margin(), QStringLiteral("4"), 8);
        DocumentEdits::writeValue(document, margin(), QStringLiteral("5"), 0);
        QCOMPARE(document.undoStack().count(), 3);
        document.undoStack().undo();
        document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), QStringLiteral("P {margin=123; color=red;}"));
        document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), QStringLiteral("P {margin=5; color=red;}"));
        QVERIFY(!document.isModified());

        // A session that ends where it began leaves no step (a write still marks the
        // document modified, as every write does).
        document.resetHistory(false);
        DocumentEdits::writeValue(document, margin(), QStringLiteral("6"), 9);
        DocumentEdits::writeValue(document, margin(), QStringLiteral("5"), 9);
        QCOMPARE(document.undoStack().count(), 0);
        QCOMPARE(StyleSheetWriter::styleSheetText(document), QStringLiteral("P {margin=5; color=red;}"));
    }

    // A fresh history keeps the flag it is given; New Element undone and redone makes
    // the node anew, and later steps still find it.
    void historyAcrossNewNodes()
    {
        Document document;
        start(document, QStringLiteral(".a {x=1;}"));
        document.resetHistory(true);
        const QModelIndex added = DocumentEdits::newElement(document);
        DocumentEdits::newProperty(document, added);
        DocumentEdits::writeValue(document, at(document, {"New Element", "New Property"}),
                                  QStringLiteral("z=2"));
        const QString full = StyleSheetWriter::styleSheetText(document);
        QCOMPARE(full, QStringLiteral(".a {x=1;}\r\nNew Element {z=2;}"));
        for (int i = 0; i < 3; ++i)
            document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), QStringLiteral(".a {x=1;}"));
        QVERIFY(document.isModified()); // the flag the history began with
        for (int i = 0; i < 3; ++i)
            document.undoStack().redo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), full);
    }

private:
    CatalogueFixture m_fixture;
};

LW_TEST_CLASS(TestUndoHistory)
#include "TestUndoHistory.moc"
