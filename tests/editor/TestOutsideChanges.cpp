#include "DialogAnswerer.h"
#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "StyleSheetWriter.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

// Another program changes the file that the window has open: an unedited document is
// read again, an edited one asks first, and Save never writes over such a change
// without a question.
class TestOutsideChanges : public QObject
{
    Q_OBJECT

    static void changeOnDisk(const QString &path, const QByteArray &bytes)
    {
        // Another program's write: a different size, so the change shows at once.
        writeFile(path, bytes);
    }

    // Waits until the window has heard of the change (the watcher's notice).
    static bool noticed(TMainForm &form, const QString &text)
    {
        return QTest::qWaitFor([&] { return StyleSheetWriter::styleSheetText(form.document()) == text; },
                               5000);
    }

private slots:
    void unEditedIsReadAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "a { color: red; }\n");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QString changed = QStringLiteral("a { color: blue; }\nb { margin: 0; }\n");
        DialogAnswerer none; // no question for an unedited document
        changeOnDisk(path, changed.toUtf8());
        QVERIFY(noticed(*form, changed));
        QVERIFY2(none.done(), qPrintable(none.report()));
        QVERIFY(!form->document().isModified());
        auto *note = form->findChild<QLabel *>(QStringLiteral("StatusNote"));
        QVERIFY(note);
        QVERIFY2(note->text().contains(QStringLiteral("changed by another program")),
                 qPrintable(note->text()));
    }

    void editedAsksFirst_data()
    {
        QTest::addColumn<bool>("reload");
        QTest::newRow("reload") << true;
        QTest::newRow("keep editing") << false;
    }

    void editedAsksFirst()
    {
        QFETCH(bool, reload);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "a { color: red; }\n");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QModelIndex colour = findNode(*form, QStringLiteral("a"), QStringLiteral("color: red"));
        QVERIFY(colour.isValid());
        QVERIFY(DocumentEdits::writeValue(form->document(), colour, QStringLiteral("green")));
        const QString edited = StyleSheetWriter::styleSheetText(form->document());

        const QByteArray changed = "a { color: blue; }\n/* theirs */\n";
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QVERIFY2(box->text().contains(QStringLiteral("changed by another program")),
                         qPrintable(box->text()));
                QCOMPARE(box->defaultButton()->text(), QStringLiteral("&Keep Editing"));
                for (QAbstractButton *button : box->buttons())
                    if (button->text() ==
                        (reload ? QStringLiteral("&Reload") : QStringLiteral("&Keep Editing")))
                        button->click();
            });
            changeOnDisk(path, changed);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QTRY_COMPARE_WITH_TIMEOUT(answer.answered(), 1, 5000);
        }
        if (reload) {
            QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), QString::fromUtf8(changed));
            QVERIFY(!form->document().isModified());
            return;
        }
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), edited);
        QVERIFY(form->document().isModified());

        // Save asks again before it replaces their change; No leaves it on disk.
        {
            DialogAnswerer no;
            no.on<QMessageBox>([](QMessageBox *box) {
                QVERIFY2(box->text().contains(QStringLiteral("since it was read")), qPrintable(box->text()));
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                DialogAnswerer::press(box, QMessageBox::No);
            });
            form->FinishClick();
            QVERIFY2(no.done(), qPrintable(no.report()));
            QCOMPARE(readFile(path), changed);
        }
        {
            DialogAnswerer yes;
            yes.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::Yes); });
            form->FinishClick();
            QVERIFY2(yes.done(), qPrintable(yes.report()));
            QCOMPARE(QString::fromUtf8(readFile(path)), edited);
        }

        // The window's own write is no outside change: the next Save asks nothing.
        DialogAnswerer none;
        form->FinishClick();
        QVERIFY2(none.done(), qPrintable(none.report()));
    }

    // A file deleted since it was read is reported; Save asks before making it anew.
    void deletedFileIsReported()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "a { color: red; }\n");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QVERIFY(QFile::remove(path));
        auto *note = form->findChild<QLabel *>(QStringLiteral("StatusNote"));
        QTRY_VERIFY_WITH_TIMEOUT(note->text().contains(QStringLiteral("deleted or moved")), 5000);
        DialogAnswerer no;
        no.on<QMessageBox>([](QMessageBox *box) {
            QVERIFY2(box->text().contains(QStringLiteral("deleted or moved")), qPrintable(box->text()));
            DialogAnswerer::press(box, QMessageBox::No);
        });
        form->FinishClick();
        QVERIFY2(no.done(), qPrintable(no.report()));
        QVERIFY(!QFile::exists(path));
    }
};

LW_TEST_CLASS(TestOutsideChanges)
#include "TestOutsideChanges.moc"
