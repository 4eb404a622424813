#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "StyleSheetReader.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

// A sheet nested as deep as the reader takes, in the window: opened, every node
// expanded and shown, its findings marked, and its text in the code window, checked
// there. (Run with `ulimit -s 1024` too: nothing takes a call per level.)
class TestDeepWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void deepestSheetOpensAndShows()
    {
        const int depth = StyleSheetReader::MaxDepth;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("deep.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("a{colr:red;").repeated(depth) + QByteArray("}").repeated(depth));
        file.close();

        const auto form = startMainWindow(path, std::nullopt);
        QVERIFY(form);
        const StyleSheetModel &model = form->document().elements();
        const ElementNode *node = &model.element(model.elementCount() - 1);
        int levels = 1;
        while (!node->children.empty()) {
            node = node->children.front().get();
            ++levels;
        }
        QCOMPARE(levels, depth);
        // Every level's unknown property is marked.
        QTRY_COMPARE(model.findingCount(), depth);

        form->Elements->expandAll();
        form->Elements->scrollTo(model.nodeIndex(node));
        QTest::qWait(50);
        QVERIFY(form->Elements->isExpanded(model.nodeIndex(node)));

        DialogAnswerer answer;
        answer.on<TCodeForm>([](TCodeForm *code) {
            QVERIFY(code->Code->toPlainText().startsWith(QStringLiteral("a{colr:red;a{")));
            // The code window's check takes the text (it reads as the file did).
            QTRY_VERIFY(!code->Status->text().contains(QStringLiteral("nested deeper")));
            code->Code->moveCursor(QTextCursor::End);
            QTest::qWait(50);
            code->CloseClick();
        });
        form->CodeClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
    }
};

LW_TEST_CLASS(TestDeepWindow)

#include "TestDeepWindow.moc"
