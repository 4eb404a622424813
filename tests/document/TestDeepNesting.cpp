#include "CatalogueFixture.h"
#include "DocumentCheck.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "TreeDump.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <functional>

namespace {

// Each case runs on a thread with a 1 MB stack, as a small `ulimit -s` gives: a walk
// that takes one call per level overflows it long before 1,000 levels.
constexpr uint SmallStack = 1024 * 1024;

void onSmallStack(const std::function<void()> &work)
{
    QThread *thread = QThread::create(work);
    thread->setStackSize(SmallStack);
    thread->start();
    thread->wait();
    delete thread;
}

// The sheet of a kind nested `depth` blocks deep, and the column of the "{" that opens
// block number `block` (1-based; all on line 1).
struct Nested
{
    QString text;
    std::function<int(int block)> braceColumn;
};

Nested nested(const QString &kind, int depth)
{
    if (kind == QLatin1String("media")) {
        // depth - 1 @media blocks around one rule.
        const QString open = QStringLiteral("@media screen{");
        return {open.repeated(depth - 1) + QStringLiteral("a{colr:red}") +
                    QStringLiteral("}").repeated(depth - 1),
                [open, depth](int block) {
                    // The last block is the rule's: its "{" follows "a".
                    return block < depth ? int(open.size()) * block : int(open.size()) * (depth - 1) + 2;
                }};
    }
    // Rules inside rules, each with a declaration before the next rule; "unclosed"
    // leaves every block open to the end of the file.
    const QString open = QStringLiteral("a{colr:red;");
    QString text = open.repeated(depth);
    if (kind == QLatin1String("rules"))
        text += QStringLiteral("}").repeated(depth);
    return {text, [open](int block) { return int(open.size()) * (block - 1) + 2; }};
}

// The deepest indentation (in TABs) of the tree dump's lines.
int deepestLine(const QString &dump)
{
    int deepest = 0;
    for (const QStringView line : QStringView(dump).split(QLatin1Char('\n'))) {
        int tabs = 0;
        while (tabs < line.size() && line[tabs] == QLatin1Char('\t'))
            ++tabs;
        deepest = std::max(deepest, tabs);
    }
    return deepest;
}

// The widest indentation (in spaces) of the lines of a text written with CR LF.
int widestIndent(const QString &text)
{
    int widest = 0;
    for (const QStringView line : QStringView(text).split(QStringLiteral("\r\n"))) {
        int spaces = 0;
        while (spaces < line.size() && line[spaces] == QLatin1Char(' '))
            ++spaces;
        widest = std::max(widest, spaces);
    }
    return widest;
}

} // namespace

// Sheets nested deep, of each kind: read, written in both forms, dumped, checked and
// freed on a small stack; past the reader's depth limit refused at the "{" too deep,
// with nothing changed.
class TestDeepNesting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.open());
        m_check.open(TestEnvironment::programFolder());
    }

    void deepSheets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("depth");
        for (const char *kind : {"media", "rules", "unclosed"})
            for (int depth :
                 {1000, StyleSheetReader::MaxDepth, StyleSheetReader::MaxDepth + 1, 10000, 100000})
                QTest::newRow((QByteArray(kind) + ' ' + QByteArray::number(depth)).constData())
                    << QString::fromLatin1(kind) << depth;
    }

    void deepSheets()
    {
        QFETCH(QString, kind);
        QFETCH(int, depth);
        const Nested sheet = nested(kind, depth);
        // What fails on the thread is reported here.
        QStringList failures;
        const auto expect = [&](bool holds, const QString &what) {
            if (!holds)
                failures << what;
        };
        onSmallStack([&] {
            Document document;
            m_fixture.start(document);
            const QString before = TreeDump::tree(document);
            StyleSheetReader::ReadError error;
            const bool read =
                StyleSheetReader::readText(document, m_fixture.catalogue, sheet.text, {}, &error);
            StyleSheetReader::ReadError checkError;
            const bool checked = StyleSheetReader::checkText(sheet.text, &checkError);
            expect(checked == read, QStringLiteral("the code window's check disagrees with the reader"));
            if (depth > StyleSheetReader::MaxDepth) {
                expect(!read, QStringLiteral("a sheet too deep was read"));
                expect(error.reason == QStringLiteral("blocks nested deeper than 2000"), error.reason);
                expect(error.line == 1 && error.column == sheet.braceColumn(StyleSheetReader::MaxDepth + 1),
                       QStringLiteral("refused at %1").arg(error.describe()));
                expect(checkError.describe() == error.describe(), checkError.describe());
                expect(TreeDump::tree(document) == before,
                       QStringLiteral("the refused read changed the document"));
                return;
            }
            expect(read, error.describe());
            if (!read)
                return;
            // The tree holds every level: the innermost declaration one TAB below the
            // innermost rule.
            const QString dump = TreeDump::tree(document);
            expect(deepestLine(dump) == depth, QStringLiteral("the tree is %1 deep").arg(deepestLine(dump)));
            // Unedited, the standard form writes the sheet's own bytes.
            expect(StyleSheetWriter::styleSheetText(document) == sheet.text,
                   QStringLiteral("the standard form changed the text"));
            // Every level's declaration is checked, in file order.
            const std::vector<DocumentCheck::Finding> findings = m_check.checkDocument(document.elements());
            const qsizetype expected = kind == QLatin1String("media") ? 1 : depth;
            expect(qsizetype(findings.size()) == expected,
                   QStringLiteral("%1 findings, not %2").arg(findings.size()).arg(expected));
            bool inOrder = true;
            for (size_t i = 1; i < findings.size(); ++i)
                inOrder = inOrder && findings[i - 1].column < findings[i].column;
            expect(inOrder, QStringLiteral("findings out of file order"));
            // The model marks and clears them at every depth.
            std::vector<StyleSheet::FindingMark> marks;
            for (const DocumentCheck::Finding &finding : findings)
                marks.push_back({finding.node, finding.attribute, finding.reason});
            document.sheet().replaceFindings(std::move(marks));
            expect(document.elements().findingCount() == expected, QStringLiteral("marks not counted"));
            document.sheet().replaceFindings({});
            expect(document.elements().findingCount() == 0, QStringLiteral("marks not cleared"));

            // The editor's own form indents 20 levels at most: its text grows with the
            // sheet, not with the square of its depth, and reads back the same.
            StyleSheetReader::ReadError convertError;
            expect(StyleSheetReader::convertForm(document, m_fixture.catalogue, DocumentForm::Editor,
                                                 &convertError),
                   convertError.describe());
            const QString editorForm = StyleSheetWriter::styleSheetText(document);
            expect(widestIndent(editorForm) == 40,
                   QStringLiteral("indented %1").arg(widestIndent(editorForm)));
            expect(editorForm.size() < 200 * depth, QStringLiteral("%1 characters").arg(editorForm.size()));
            Document again;
            m_fixture.start(again);
            expect(StyleSheetReader::readText(again, m_fixture.catalogue, editorForm),
                   QStringLiteral("the editor's form did not read back"));
            expect(TreeDump::tree(again) == TreeDump::tree(document),
                   QStringLiteral("the editor's form read back differently"));
            // And back: the standard form made afresh is as shallow in its indentation.
            expect(StyleSheetReader::convertForm(document, m_fixture.catalogue, DocumentForm::Standard),
                   QStringLiteral("no way back to standard CSS"));
            const QString standard = StyleSheetWriter::styleSheetText(document);
            expect(standard.size() < 200 * depth, QStringLiteral("%1 characters").arg(standard.size()));
        });
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("; ")).left(2000)));
    }

private:
    CatalogueFixture m_fixture;
    DocumentCheck m_check;
};

LW_TEST_CLASS(TestDeepNesting)

#include "TestDeepNesting.moc"
