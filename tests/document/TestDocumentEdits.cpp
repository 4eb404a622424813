#include "Catalogue.h"
#include "Document.h"
#include "DocumentEdits.h"
#include "Failure.h"
#include "TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QStandardItemModel>
#include <QTest>
#include <memory>

namespace {

// The element nodes of the fixture, in order; P carries two declarations.
enum Element { ElemA = 0, ElemBody, ElemH1, ElemP };

Catalogue::ElementList elementList(const QStringList &shownRows)
{
    Catalogue::ElementList list;
    list.rows = int(shownRows.size()) + 3;
    int picture = ImageList::BasePictures;
    for (const QString &row : shownRows)
        list.nodes.push_back({row, picture++});
    return list;
}

// Which node an edit is aimed at: the root, an element, an attribute, or nothing.
struct Target
{
    enum What { None, Root, ElementNode, AttributeNode } what = None;
    int element = -1;
    int attribute = -1;

    QModelIndex in(const StyleSheetModel &model) const
    {
        switch (what) {
        case Root:
            return model.rootIndex();
        case ElementNode:
            return model.elementIndex(element);
        case AttributeNode:
            return model.attributeIndex(element, attribute);
        default:
            return {};
        }
    }
};

Target none()
{
    return {};
}
Target root()
{
    return {Target::Root};
}
Target element(int e)
{
    return {Target::ElementNode, e};
}
Target attribute(int e, int a)
{
    return {Target::AttributeNode, e, a};
}

QStringList attributeLabels(const Document &document, int element)
{
    QStringList labels;
    for (const AttributeNode &node : document.elements().element(element).attributes)
        labels << node.label(document.form());
    return labels;
}

int attributeTotal(const Document &document)
{
    int total = 0;
    for (const auto &element : document.elements().elements())
        total += int(element->attributes.size());
    return total;
}

// A fresh document with the elements A, BODY, H1, P; P holds color=red and margin=5.
struct Fixture
{
    Document document;
    QAbstractItemModelTester tester{&document.elements(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};

    Fixture()
    {
        document.applyElementList(elementList({"A", "BODY", "H1", "P"}));
        document.sheet().appendAttribute(ElemP, QStringLiteral("color=red"), KindColor);
        document.sheet().appendAttribute(ElemP, QStringLiteral("margin=5"), KindNumber);
        document.setModified(false);
    }
    StyleSheetModel &model() { return document.elements(); }
};

} // namespace

Q_DECLARE_METATYPE(Target)

class TestDocumentEdits : public QObject
{
    Q_OBJECT
    Catalogue m_catalogue;

private slots:
    void initTestCase() { m_catalogue.open(QCoreApplication::applicationDirPath()); }

    void drop_data()
    {
        QTest::addColumn<Target>("target");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("choiceParent");
        QTest::addColumn<int>("expectedElement"); // -1: nothing added
        QTest::addColumn<QString>("expectedLabel");

        QTest::newRow("attribute onto an attribute of P goes after P's last")
            << attribute(ElemP, 0) << "color" << int(KindColor) << QString() << int(ElemP) << "color=";
        QTest::newRow("attribute onto the element P") << element(ElemP) << "margin-left" << int(KindNumber)
                                                      << QString() << int(ElemP) << "margin-left=";
        QTest::newRow("attribute without kind onto H1")
            << element(ElemH1) << "zoom" << int(KindNone) << QString() << int(ElemH1) << "zoom=";
        QTest::newRow("choice word bold onto H1") << element(ElemH1) << "bold" << int(KindChoice)
                                                  << "font-weight" << int(ElemH1) << "font-weight=bold";
        QTest::newRow("onto the root") << root() << "color" << int(KindColor) << QString() << -1 << QString();
        QTest::newRow("onto empty space")
            << none() << "bold" << int(KindChoice) << "font-weight" << -1 << QString();
    }
    // A drop appends one node to the target's element with the dragged node's kind;
    // the root and empty space take nothing. A drop that adds something marks the
    // document modified (and its undo clears the mark); one that adds nothing leaves it
    // as it was.
    void drop()
    {
        QFETCH(Target, target);
        QFETCH(QString, label);
        QFETCH(int, kind);
        QFETCH(QString, choiceParent);
        QFETCH(int, expectedElement);
        QFETCH(QString, expectedLabel);
        Fixture f;
        const int before = attributeTotal(f.document);

        const QModelIndex added =
            DocumentEdits::dropOnElements(f.document, target.in(f.model()), label, kind, choiceParent);

        QCOMPARE(f.document.isModified(), expectedElement >= 0);
        if (expectedElement >= 0) {
            f.document.undoStack().undo();
            QVERIFY(!f.document.isModified());
            f.document.undoStack().redo();
        }
        if (expectedElement < 0) {
            QVERIFY(!added.isValid());
            QCOMPARE(attributeTotal(f.document), before);
            return;
        }
        QCOMPARE(attributeTotal(f.document), before + 1);
        const auto &attributes = f.model().element(expectedElement).attributes;
        QCOMPARE(added, f.model().attributeIndex(expectedElement, int(attributes.size()) - 1));
        QCOMPARE(attributes.back().label(DocumentForm::Editor), expectedLabel);
        QCOMPARE(attributes.back().picture, kind);
    }

    // Drops add duplicates: the same attribute twice gives two nodes.
    // A declaration label typed in either form: the form's own separator splits it as
    // that form reads it; CSS typed into the editor's form loses the blanks CSS ignores.
    void labelTypedInEitherForm_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("editorLabel");
        QTest::addColumn<QString>("standardLabel");

        const int editor = int(DocumentForm::Editor);
        const int standard = int(DocumentForm::Standard);
        QTest::newRow("CSS into the editor's form") << editor << "padding: 16px"
                                                    << "padding=16px"
                                                    << "padding: 16px";
        QTest::newRow("editor's form keeps its value") << editor << "content= x"
                                                       << "content= x"
                                                       << "content:  x";
        QTest::newRow("standard") << standard << " margin :  0 auto "
                                  << "margin=0 auto"
                                  << "margin: 0 auto";
    }

    void labelTypedInEitherForm()
    {
        QFETCH(int, form);
        QFETCH(QString, typed);
        QFETCH(QString, editorLabel);
        QFETCH(QString, standardLabel);
        const AttributeNode node = AttributeNode::fromLabel(typed, DocumentForm(form));
        QCOMPARE(node.label(DocumentForm::Editor), editorLabel);
        QCOMPARE(node.label(DocumentForm::Standard), standardLabel);
    }

    void dropAllowsDuplicates()
    {
        Fixture f;
        for (int i = 0; i < 2; ++i)
            DocumentEdits::dropOnElements(f.document, f.model().elementIndex(ElemP), QStringLiteral("color"),
                                          KindColor);
        QCOMPARE(attributeLabels(f.document, ElemP),
                 (QStringList{"color=red", "margin=5", "color=", "color="}));
    }

    void newElement()
    {
        Fixture f;
        const QModelIndex added = DocumentEdits::newElement(f.document);
        QVERIFY(f.document.isModified());
        QCOMPARE(f.model().elementCount(), 5);
        QCOMPARE(added, f.model().elementIndex(4));
        QCOMPARE(f.model().element(4).label, QStringLiteral("New Element"));
        QCOMPARE(f.model().element(4).picture, 0);
        QVERIFY(f.model().element(4).attributes.empty());
    }

    void newProperty_data()
    {
        QTest::addColumn<Target>("selected");
        QTest::addColumn<int>("expectedElement"); // -1: nothing added

        QTest::newRow("root: under the first element, not the root") << root() << int(ElemA);
        QTest::newRow("element H1") << element(ElemH1) << int(ElemH1);
        QTest::newRow("attribute of P: after P's last") << attribute(ElemP, 0) << int(ElemP);
        QTest::newRow("no selection") << none() << -1;
    }
    void newProperty()
    {
        QFETCH(Target, selected);
        QFETCH(int, expectedElement);
        Fixture f;
        const int before = attributeTotal(f.document);

        const QModelIndex added = DocumentEdits::newProperty(f.document, selected.in(f.model()));

        QCOMPARE(f.document.isModified(), expectedElement >= 0);
        QCOMPARE(f.model().elementCount(), 4);
        if (expectedElement < 0) {
            QVERIFY(!added.isValid());
            QCOMPARE(attributeTotal(f.document), before);
            return;
        }
        QCOMPARE(attributeTotal(f.document), before + 1);
        const AttributeNode &node = f.model().element(expectedElement).attributes.back();
        QCOMPARE(node.label(DocumentForm::Editor), QStringLiteral("New Property"));
        QCOMPARE(node.picture, 0);
        QCOMPARE(added, f.model().attributeIndex(
                            expectedElement, int(f.model().element(expectedElement).attributes.size()) - 1));
        // No "=": a click on it enables no editor.
        QCOMPARE(DocumentEdits::editorKind(added), KindNone);
    }

    // A label set through the document's model (as the tree's in-place edit sets it)
    // is a step of the history, also with no window around; a label that would not
    // read back as one declaration is refused and changes nothing.
    void labelSetThroughTheModel()
    {
        Fixture f;
        const QModelIndex margin = f.model().attributeIndex(ElemP, 1);
        QVERIFY(f.model().setData(margin, QStringLiteral("margin=7")));
        QCOMPARE(attributeLabels(f.document, ElemP), (QStringList{"color=red", "margin=7"}));
        QVERIFY(f.document.isModified());
        f.document.undoStack().undo();
        QCOMPARE(attributeLabels(f.document, ElemP), (QStringList{"color=red", "margin=5"}));
        QVERIFY(!f.document.isModified());

        QVERIFY(!f.model().setData(margin, QStringLiteral("margin=7\\")));
        QCOMPARE(attributeLabels(f.document, ElemP), (QStringList{"color=red", "margin=5"}));
        QCOMPARE(f.document.undoStack().count(), 1);
    }

    // With the root selected and no element node at all, nothing is added anywhere.
    void newPropertyWithoutElements()
    {
        Document document;
        QAbstractItemModelTester tester(&document.elements(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(!DocumentEdits::newProperty(document, document.elements().rootIndex()).isValid());
        QCOMPARE(document.elements().elementCount(), 0);
        QVERIFY(!document.isModified());
    }

    void deleteProperty_data()
    {
        QTest::addColumn<Target>("selected");
        QTest::addColumn<QStringList>("remainingOfP");
        QTest::addColumn<bool>("menuEnabled");

        QTest::newRow("element P: all its attributes go") << element(ElemP) << QStringList{} << false;
        QTest::newRow("attribute color=red") << attribute(ElemP, 0) << QStringList{"margin=5"} << true;
        QTest::newRow("last attribute") << attribute(ElemP, 1) << QStringList{"color=red"} << true;
        QTest::newRow("root: nothing") << root() << QStringList{"color=red", "margin=5"} << false;
        QTest::newRow("no selection: nothing") << none() << QStringList{"color=red", "margin=5"} << false;
    }
    // The menu item is enabled only for an attribute node; the command itself deletes
    // an element's declarations too (through the shortcut); the document is modified
    // when something went.
    void deleteProperty()
    {
        QFETCH(Target, selected);
        QFETCH(QStringList, remainingOfP);
        QFETCH(bool, menuEnabled);
        Fixture f;
        const QModelIndex index = selected.in(f.model());
        QCOMPARE(DocumentEdits::deletePropertyEnabled(index), menuEnabled);

        DocumentEdits::deleteProperty(f.document, index);

        QCOMPARE(f.document.isModified(), remainingOfP != (QStringList{"color=red", "margin=5"}));
        QCOMPARE(f.model().elementCount(), 4);
        QCOMPARE(attributeLabels(f.document, ElemP), remainingOfP);
    }

    // An index of another model (such as the catalogue tree) is no selection of the
    // document: it enables nothing and is never edited.
    void foreignIndexIsNoSelection()
    {
        Fixture f;
        QStandardItemModel other;
        auto *rootItem = new QStandardItem(QStringLiteral("Attributes"));
        other.appendRow(rootItem);
        rootItem->appendRow(new QStandardItem(QStringLiteral("color")));
        auto *word = new QStandardItem(QStringLiteral("bold"));
        rootItem->child(0)->appendRow(word);
        const QModelIndex foreign = word->index();

        QVERIFY(!DocumentEdits::deletePropertyEnabled(foreign));
        QCOMPARE(DocumentEdits::editorKind(foreign), KindNone);
        QVERIFY(!DocumentEdits::writeValue(f.document, foreign, QStringLiteral("x")));
        QVERIFY(!DocumentEdits::dropOnElements(f.document, foreign, QStringLiteral("color"), KindColor)
                     .isValid());
        QCOMPARE(attributeTotal(f.document), 2);
    }

    void writeValue_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("number") << "margin=5" << DocumentEdits::numberValue(13) << "margin=13";
        QTest::newRow("negative number") << "margin=5" << DocumentEdits::numberValue(-4) << "margin=-4";
        QTest::newRow("quoted number loses its quotes")
            << "width=\"12\"" << DocumentEdits::numberValue(12) << "width=12";
        QTest::newRow("colour text as given") << "color=red"
                                              << "#FF0000"
                                              << "color=#FF0000";
        QTest::newRow("font quoted") << "font-family=" << DocumentEdits::quotedValue("Serif")
                                     << "font-family=\"Serif\"";
        QTest::newRow("empty text quoted")
            << "font-family=\"A\"" << DocumentEdits::quotedValue("") << "font-family=\"\"";
        QTest::newRow("inner quotes kept")
            << "content=" << DocumentEdits::quotedValue("say \"hi\"") << "content=\"say \"hi\"\"";
        QTest::newRow("several = keep only the first")
            << "a=b=c" << DocumentEdits::quotedValue("x") << "a=\"x\"";
        QTest::newRow("file path, no url() added")
            << "background-image=" << DocumentEdits::quotedValue("/home/u/a b.png")
            << "background-image=\"/home/u/a b.png\"";
        QTest::newRow("label without = is replaced whole")
            << "New Property" << DocumentEdits::quotedValue("Arial") << "\"Arial\"";
    }
    // The label keeps its prefix up to the first "=" and takes the value in the
    // editor's form; the document is marked modified.
    void writeValue()
    {
        QFETCH(QString, label);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        Fixture f;
        f.model().sheet().appendAttribute(ElemH1, label, KindNone);
        const QModelIndex node = f.model().attributeIndex(ElemH1, 0);

        QVERIFY(DocumentEdits::writeValue(f.document, node, value));

        QCOMPARE(f.model().element(ElemH1).attributes[0].label(DocumentForm::Editor), expected);
        QCOMPARE(node.data().toString(), expected);
        QVERIFY(f.document.isModified());
    }

    // Writing the value a node already holds changes nothing: no step in the history,
    // and the document is not marked modified (a mark no undo could take away).
    void writeSameValueChangesNothing()
    {
        Fixture f;
        QVERIFY(DocumentEdits::writeValue(f.document, f.model().attributeIndex(ElemP, 1),
                                          DocumentEdits::numberValue(5)));
        QCOMPARE(f.model().element(ElemP).attributes[1].label(DocumentForm::Editor),
                 QStringLiteral("margin=5"));
        QVERIFY(!f.document.isModified());
        QCOMPARE(f.document.undoStack().count(), 0);
    }

    void writeOnlyIntoAttributes_data()
    {
        QTest::addColumn<Target>("selected");
        QTest::newRow("root") << root();
        QTest::newRow("element P") << element(ElemP);
        QTest::newRow("no selection") << none();
    }
    // An editor's value never replaces the label of the root or of an element, and
    // a refused write leaves the document unmodified.
    void writeOnlyIntoAttributes()
    {
        QFETCH(Target, selected);
        Fixture f;
        QVERIFY(!DocumentEdits::writeValue(f.document, selected.in(f.model()), QStringLiteral("\"Arial\"")));
        QCOMPARE(f.model().rootLabel(), QStringLiteral("Elements"));
        QCOMPARE(f.model().element(ElemP).label, QStringLiteral("P"));
        QCOMPARE(attributeLabels(f.document, ElemP), (QStringList{"color=red", "margin=5"}));
        QVERIFY(!f.document.isModified());
    }

    void preset_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("editor");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<QStringList>("choices");

        const QStringList noChoices;
        QTest::newRow("colour by name") << "color=red" << 1 << int(KindColor) << "red" << 0 << noChoices;
        QTest::newRow("colour, empty value after a drop")
            << "color=" << 1 << int(KindColor) << "" << 0 << noChoices;
        QTest::newRow("url unquoted")
            << "background-image=\"a b.png\"" << 3 << int(KindUrl) << "a b.png" << 0 << noChoices;
        QTest::newRow("font unquoted")
            << "font-family=\"Times New Roman\"" << 5 << int(KindFont) << "Times New Roman" << 0 << noChoices;
        QTest::newRow("font, a lone quote becomes empty")
            << "font-family=\"" << 5 << int(KindFont) << "" << 0 << noChoices;
        QTest::newRow("font, inner and single quotes stay")
            << "font-family=\"'a\"b'\"" << 5 << int(KindFont) << "'a\"b'" << 0 << noChoices;
        QTest::newRow("number") << "margin=5" << 2 << int(KindNumber) << "5" << 5 << noChoices;
        QTest::newRow("quoted number") << "margin=\"7\"" << 2 << int(KindNumber) << "7" << 7 << noChoices;
        QTest::newRow("signed number with blanks")
            << "margin=  -12" << 2 << int(KindNumber) << "-12" << -12 << noChoices;
        QTest::newRow("a sign before a number is no part of it")
            << "margin=$1F" << 2 << int(KindNumber) << "1" << 1 << noChoices;
        QTest::newRow("choice from the catalogue")
            << "text-align=\"center\"" << 4 << int(KindChoice) << "center" << 0
            << m_catalogue.findAttributeRow(QStringLiteral("text-align"));
        QTest::newRow("choice not in the catalogue")
            << "no-such-thing=x" << 4 << int(KindChoice) << "x" << 0 << noChoices;
        QTest::newRow("choice name is case-sensitive")
            << "TEXT-ALIGN=left" << 4 << int(KindChoice) << "left" << 0 << noChoices;
        QTest::newRow("no kind, the value's number decides")
            << "zoom=2" << 0 << int(KindNumber) << "2" << 2 << noChoices;
        QTest::newRow("unknown picture, the value's number decides")
            << "zoom=2" << 9 << int(KindNumber) << "2" << 2 << noChoices;
        QTest::newRow("no kind, a word") << "zoom=normal" << 0 << int(KindNone) << "" << 0 << noChoices;
        QTest::newRow("no kind, a quoted colour")
            << "--c=\"#202b38\"" << 0 << int(KindColor) << "#202b38" << 0 << noChoices;
        QTest::newRow("a number property with a colour value")
            << "margin=red" << 2 << int(KindColor) << "red" << 0 << noChoices;
    }
    // A click presets the editor of the node's kind with the unquoted value; a
    // choice takes its words from the catalogue. Where the node's kind has no editor,
    // or its editor finds nothing in the value, the value's own kind decides.
    void preset()
    {
        QFETCH(QString, label);
        QFETCH(int, kind);
        QFETCH(int, editor);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(QStringList, choices);
        Fixture f;
        f.model().sheet().appendAttribute(ElemH1, label, kind);
        const QModelIndex node = f.model().attributeIndex(ElemH1, 0);

        QCOMPARE(int(DocumentEdits::editorKind(node)), kind >= KindColor && kind <= KindFont ? kind : 0);
        const DocumentEdits::EditorPreset preset = DocumentEdits::presetFor(f.document, m_catalogue, node);
        QCOMPARE(int(preset.kind), editor);
        QCOMPARE(preset.text, text);
        QCOMPARE(preset.number, double(number));
        QCOMPARE(preset.choices, choices);
        QVERIFY(!f.document.isModified());
        QCOMPARE(f.model().element(ElemH1).attributes[0].label(DocumentForm::Editor), label);
    }

    // The real catalogue's words for a dropped choice word's attribute.
    void presetOfADroppedChoice()
    {
        Fixture f;
        const QModelIndex node =
            DocumentEdits::dropOnElements(f.document, f.model().elementIndex(ElemH1), QStringLiteral("bold"),
                                          KindChoice, QStringLiteral("font-weight"));
        const DocumentEdits::EditorPreset preset = DocumentEdits::presetFor(f.document, m_catalogue, node);
        QCOMPARE(preset.kind, KindChoice);
        QCOMPARE(preset.name, QStringLiteral("font-weight"));
        QCOMPARE(preset.text, QStringLiteral("bold"));
        QCOMPARE(preset.choices.value(0), QStringLiteral("normal"));
        QVERIFY(preset.choices.contains(QStringLiteral("bold")));
    }

    void presetOfANumberWithUnit_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hasNumber");
        QTest::addColumn<double>("number");
        QTest::newRow("unit") << "margin=12px"
                              << "12" << true << 12.0;
        QTest::newRow("quoted unit") << "margin=\"12px\""
                                     << "12" << true << 12.0;
        QTest::newRow("decimals and a second value") << "margin=0.67em 0"
                                                     << "0.67" << true << 0.67;
        QTest::newRow("negative decimal") << "text-indent=-1.5px"
                                          << "-1.5" << true << -1.5;
        QTest::newRow("no number") << "margin=auto"
                                   << "" << false << 0.0;
        QTest::newRow("empty value after a drop") << "margin="
                                                  << "" << false << 0.0;
    }
    // The number editor works on the first number of the value; a value without one
    // leaves it empty, and no click fails.
    void presetOfANumberWithUnit()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(bool, hasNumber);
        QFETCH(double, number);
        Fixture f;
        f.model().sheet().appendAttribute(ElemH1, label, KindNumber);
        const QModelIndex node = f.model().attributeIndex(ElemH1, 0);
        const DocumentEdits::EditorPreset preset = DocumentEdits::presetFor(f.document, m_catalogue, node);
        QCOMPARE(preset.kind, KindNumber);
        QCOMPARE(preset.text, text);
        QCOMPARE(preset.hasNumber, hasNumber);
        QCOMPARE(preset.number, number);
    }

    void presetOfNoAttribute_data()
    {
        QTest::addColumn<Target>("selected");
        QTest::newRow("root") << root();
        QTest::newRow("element P") << element(ElemP);
        QTest::newRow("no selection") << none();
    }
    // The root, an element or no selection enables no editor.
    void presetOfNoAttribute()
    {
        QFETCH(Target, selected);
        Fixture f;
        const QModelIndex index = selected.in(f.model());
        QCOMPARE(DocumentEdits::editorKind(index), KindNone);
        const DocumentEdits::EditorPreset preset = DocumentEdits::presetFor(f.document, m_catalogue, index);
        QCOMPARE(preset.kind, KindNone);
        QVERIFY(preset.text.isEmpty());
    }
};

LW_TEST_CLASS(TestDocumentEdits)
#include "TestDocumentEdits.moc"
