#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "RegistryStore.h"
#include "StyleSheetWriter.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace EditorFixture;

namespace {

// The stored size above which files are opened only when the user agrees, in KB (an
// empty text: the default).
void storeOpenSizeLimit(const QString &kilobytes)
{
    RegistryStore registry;
    registry.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\Loomwright 99\\Documents"))
        .writeString(QStringLiteral("OpenSizeLimitKB"), kilobytes);
}

// Watches every window the application shows while a file is read: records the
// progress dialogs (their text and modality) and, when asked to, presses the first
// one's Cancel as soon as it shows, or once it turns busy (the text is in and the sheet
// is being built from it); a message box, which none of these reads may show, is
// recorded and closed, so that the test fails instead of hanging.
class ReadWatcher : public QObject
{
public:
    enum Cancel { Never, OnShow, WhileBuilding };
    explicit ReadWatcher(Cancel cancel) : m_cancel(cancel) { qApp->installEventFilter(this); }
    ~ReadWatcher() override { qApp->removeEventFilter(this); }

    QStringList progressLabels;
    bool progressModal = false;
    QStringList messages;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto *progress = qobject_cast<QProgressDialog *>(watched)) {
            progressLabels << progress->labelText();
            progressModal = progress->windowModality() == Qt::ApplicationModal;
            // Pressed once the reading runs, as a user's click arrives.
            const auto click = [progress] { progress->findChild<QPushButton *>()->click(); };
            if (m_cancel == OnShow)
                QMetaObject::invokeMethod(progress, click, Qt::QueuedConnection);
            if (m_cancel == WhileBuilding) {
                auto *look = new QTimer(progress);
                QObject::connect(look, &QTimer::timeout, progress, [progress, look, click] {
                    if (progress->maximum() == 0) {
                        look->stop();
                        click();
                    }
                });
                look->start(1);
            }
        } else if (auto *box = qobject_cast<QMessageBox *>(watched)) {
            messages << box->text();
            QMetaObject::invokeMethod(
                box, [box] { box->done(QMessageBox::Cancel); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    Cancel m_cancel;
};

QAction *encodingAction(TMainForm &form, const QString &name)
{
    for (QAction *action : form.ReopenWithEncoding1->actions())
        if (action->text() == name)
            return action;
    return nullptr;
}

QFileDevice::Permissions modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? QFileDevice::Permissions(st.st_mode & 0777)
                                                                 : QFileDevice::Permissions();
}

} // namespace

class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }
    void cleanup() { storeOpenSizeLimit(QString()); }

    void largeFileAsksFirst_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("open");
        QTest::newRow("above the limit, Open") << 1500 << true;
        QTest::newRow("above the limit, Cancel") << 1500 << false;
        QTest::newRow("at the limit, no question") << 1024 << true;
    }

    // A file above the stored limit (1 KB here) is not read until the user agrees;
    // Cancel leaves the document as it was.
    void largeFileAsksFirst()
    {
        QFETCH(int, size);
        QFETCH(bool, open);
        storeOpenSizeLimit(QStringLiteral("1"));
        QTemporaryDir dir;
        const QString earlier = dir.filePath(QStringLiteral("earlier.css"));
        writeFile(earlier, "P {color=red;}");
        const QString large = dir.filePath(QStringLiteral("large.css"));
        const QByteArray rule = "H1 {margin=5;}\r\n";
        const QByteArray bytes = rule + "/*" + QByteArray(size - rule.size() - 4, 'x') + "*/";
        QCOMPARE(bytes.size(), size);
        writeFile(large, bytes);
        const auto form = startMainWindow(earlier);
        QVERIFY(form);

        DialogAnswerer answer;
        answer.on<QFileDialog>([&](QFileDialog *dialog) { DialogAnswerer::chooseFile(dialog, large); });
        if (size > 1024) {
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
                QCOMPARE(box->icon(), QMessageBox::Question);
                QCOMPARE(box->text(), QStringLiteral("%1 is 1.5 kB, larger than the 1.0 kB above which files "
                                                     "are opened only when asked. Do you want to open it?")
                                          .arg(large));
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
                QPushButton *openButton = nullptr;
                for (QAbstractButton *button : box->buttons())
                    if (button->text() == QLatin1String("Open"))
                        openButton = qobject_cast<QPushButton *>(button);
                QVERIFY(openButton);
                QCOMPARE(box->buttons().size(), 2);
                if (open)
                    openButton->click();
                else
                    DialogAnswerer::press(box, QMessageBox::Cancel);
            });
        }
        form->OpenClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->document().currentFileName(), open ? large : earlier);
        QCOMPARE(
            StyleSheetWriter::styleSheetText(form->document()).startsWith(QStringLiteral("H1 {margin=5;}")),
            open);
        QVERIFY(!form->document().isModified());
    }

    void largeFileShowsProgress_data()
    {
        QTest::addColumn<int>("cancel");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("size");
        // Three pieces of a megabyte and a bit: the dialog shows before the first.
        const QByteArray comment = "H1 {margin=5;}\r\n/*" + QByteArray(3 << 20, 'x') + "*/";
        // 100,000 rules, which take a while to build once read.
        QByteArray rules;
        for (int i = 0; i < 100000; ++i)
            rules += ".r" + QByteArray::number(i) + " { color: red }\n";
        QTest::newRow("read to the end") << int(ReadWatcher::Never) << comment << QStringLiteral("3.0 MB");
        QTest::newRow("cancelled while reading")
            << int(ReadWatcher::OnShow) << comment << QStringLiteral("3.0 MB");
        QTest::newRow("cancelled while building")
            << int(ReadWatcher::WhileBuilding) << rules << QStringLiteral("2.2 MB");
    }

    // A file above the progress size is read under a modal progress dialog naming it;
    // its Cancel stops the reading, or the building of the sheet after it, without a
    // word, and the earlier document stays.
    void largeFileShowsProgress()
    {
        QFETCH(int, cancel);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, size);
        QTemporaryDir dir;
        const QString earlier = dir.filePath(QStringLiteral("earlier.css"));
        writeFile(earlier, "P {color=red;}");
        const QString large = dir.filePath(QStringLiteral("large.css"));
        writeFile(large, bytes);
        const auto form = startMainWindow(earlier);
        QVERIFY(form);
        form->setProgressSize(1 << 20);

        const bool cancelled = cancel != ReadWatcher::Never;
        ReadWatcher watcher{ReadWatcher::Cancel(cancel)};
        QCOMPARE(form->readStyleSheet(large), !cancelled);
        QCOMPARE(watcher.messages, QStringList());
        QCOMPARE(watcher.progressLabels, QStringList{QStringLiteral("Reading %1 (%2)").arg(large, size)});
        QVERIFY(watcher.progressModal);
        QVERIFY(!form->findChild<QProgressDialog *>()); // gone with the reading
        QCOMPARE(form->document().currentFileName(), cancelled ? earlier : large);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + (cancelled ? earlier : large));
        if (cancelled)
            QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), QStringLiteral("P {color=red;}"));

        // A small file shows no dialog.
        ReadWatcher small(ReadWatcher::Never);
        QVERIFY(form->readStyleSheet(earlier));
        QCOMPARE(small.progressLabels, QStringList());
    }

    void readOnlyFileAsksBeforeSave_data()
    {
        QTest::addColumn<bool>("codeWindow"); // saved from the code window, not the main window
        QTest::addColumn<bool>("saveAnyway");
        QTest::newRow("main window, Yes") << false << true;
        QTest::newRow("main window, No") << false << false;
        QTest::newRow("code window, Yes") << true << true;
        QTest::newRow("code window, No") << true << false;
    }

    // Save to a file marked read-only asks first, also when the one saving (root in
    // CI) could write it anyway, from either window: Yes writes it and keeps its mode,
    // No leaves it and the text modified.
    void readOnlyFileAsksBeforeSave()
    {
        QFETCH(bool, codeWindow);
        QFETCH(bool, saveAnyway);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        const QByteArray original = "P {color=red;}";
        writeFile(path, original);
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QString edited;
        if (!codeWindow) {
            editDocument(*form);
            edited = StyleSheetWriter::styleSheetText(form->document());
        }

        DialogAnswerer answer;
        const auto expectQuestion = [&] {
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
                QCOMPARE(box->icon(), QMessageBox::Warning);
                QCOMPARE(box->text(), QStringLiteral("%1 is read-only. Save anyway?").arg(path));
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                QCOMPARE(box->buttons().size(), 2);
                DialogAnswerer::press(box, saveAnyway ? QMessageBox::Yes : QMessageBox::No);
            });
        };
        if (codeWindow) {
            edited = QString::fromLatin1(original) + QStringLiteral("\r\nH1 {color=blue;}");
            answer.on<TCodeForm>([&](TCodeForm *code) {
                code->Code->moveCursor(QTextCursor::End);
                QTest::keyClick(code->Code, Qt::Key_Return);
                QTest::keyClicks(code->Code, QStringLiteral("H1 {color=blue;}"));
                code->SaveClick();
                QCOMPARE(code->isCodeModified(), !saveAnyway);
                code->CloseClick();
            });
            expectQuestion();
            if (!saveAnyway) // closing the window asks for the unsaved text: given up
                answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
            form->CodeClick();
        } else {
            expectQuestion();
            form->FinishClick();
        }
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(readFile(path), saveAnyway ? edited.toUtf8() : original);
        if (!saveAnyway && !codeWindow)
            QVERIFY(form->document().isModified());
        QCOMPARE(modeOf(path), QFileDevice::Permissions(0444));
    }

    // "Reopen with Encoding" reads the file again in the chosen encoding, asking first
    // while the document holds edits; the next Save writes that encoding.
    void reopenWithEncoding()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        // One high byte, no UTF-8: read as windows-1252 ("œ"); in windows-1250 it is "ś".
        writeFile(path, "P {content=\"\x9c\";}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QCOMPARE(form->document().encoding(), TextFile::Encoding::Windows1252);
        QVERIFY(findNode(*form, QStringLiteral("P"), QStringLiteral("content=\"\u0153\"")).isValid());
        QAction *windows1250 = encodingAction(*form, QStringLiteral("windows-1250"));
        if (!windows1250)
            QSKIP("The Qt on this machine does not convert windows-1250");
        for (const QString &name :
             {QStringLiteral("UTF-8"), QStringLiteral("windows-1252"), QStringLiteral("ISO-8859-1"),
              QStringLiteral("ISO-8859-15"), QStringLiteral("UTF-16LE"), QStringLiteral("UTF-16BE")})
            QVERIFY2(encodingAction(*form, name), qPrintable(name));
        QVERIFY(form->commands().contains(form->ReopenWithEncoding1->menuAction())); // in the File menu
        QVERIFY(form->ReopenWithEncoding1->menuAction()->isEnabled());
        emit form->ReopenWithEncoding1->aboutToShow();
        QVERIFY(encodingAction(*form, QStringLiteral("windows-1252"))->isChecked());

        editDocument(*form);
        for (const bool reopen : {false, true}) {
            DialogAnswerer answer;
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->text(), QStringLiteral("Reading %1 again as windows-1250 discards your unsaved "
                                                     "changes. Do you want to go on?")
                                          .arg(path));
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
                for (QAbstractButton *button : box->buttons())
                    if (button->text() == QLatin1String(reopen ? "Reopen" : "Cancel"))
                        button->click();
            });
            windows1250->trigger();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QCOMPARE(form->document().isModified(), !reopen);
        }
        QCOMPARE(form->document().encoding(), *TextFile::Encoding::fromName(QStringLiteral("windows-1250")));
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()),
                 QStringLiteral("P {content=\"\u015b\";}"));
        QCOMPARE(form->StatusNote->text(), QStringLiteral("%1 was read again as windows-1250.").arg(path));
        emit form->ReopenWithEncoding1->aboutToShow();
        QVERIFY(windows1250->isChecked());

        // Saved, the "ś" is windows-1250's byte again, not UTF-8 nor a question mark.
        editDocument(*form);
        form->FinishClick();
        const QByteArray saved = readFile(path);
        QVERIFY(saved.contains("P {content=\"\x9c\";}"));
        QVERIFY(saved.contains("color=red"));

        // No file, nothing to read again.
        const auto unnamed = startMainWindow();
        QVERIFY(unnamed);
        QVERIFY(!unnamed->ReopenWithEncoding1->menuAction()->isEnabled());
    }

    // A byte the chosen encoding leaves undefined: the reason is shown and the document
    // stays as it was read.
    void reopenRefusedByTheEncoding()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {content=\"\xa5\";}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QAction *latin3 = encodingAction(*form, QStringLiteral("ISO-8859-3"));
        if (!latin3)
            QSKIP("The Qt on this machine does not convert ISO-8859-3");
        const QString before = StyleSheetWriter::styleSheetText(form->document());
        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->informativeText(),
                     QStringLiteral("The file cannot be read as ISO-8859-3: it has no "
                                    "character for the byte 0xA5 at offset 12"));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        latin3->trigger();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->document().encoding(), TextFile::Encoding::Windows1252);
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), before);
        QVERIFY(!form->document().isModified());
    }

    void commandLineFileThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder") << "folder.css"
                                << "Cannot open file \"%1\". It is a folder, not a regular file";
        QTest::newRow("named pipe") << "pipe.css"
                                    << "Cannot open file \"%1\". It is a named pipe, not a regular file";
        QTest::newRow("device") << "/dev/zero"
                                << "Cannot open file \"%1\". It is a device, not a regular file";
        QTest::newRow("refused by the reader") << "broken.css"
                                               << "line 2, column 1: \"}\" closes no block";
        // Root reads any file: the case needs another user.
        if (::geteuid() != 0)
            QTest::newRow("unreadable") << "secret.css"
                                        << "Cannot open file \"%1\". Permission denied";
    }

    // A file named on the command line that cannot be opened is said with its reason,
    // and the window shows its empty sheet; nothing blocks (the pipe has no writer).
    void commandLineFileThatCannotBeOpened()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.css")));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.css"))).constData(), 0600), 0);
        writeFile(dir.filePath(QStringLiteral("broken.css")), "P {color=red;}\n}\n");
        writeFile(dir.filePath(QStringLiteral("secret.css")), "P {color=red;}");
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("secret.css")), QFileDevice::WriteOwner));
        const QString path = QDir(dir.path()).filePath(name);

        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->informativeText(),
                     reason.contains(QLatin1String("%1")) ? reason.arg(path) : reason);
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QVERIFY(!form->document().isModified());
        QVERIFY(form->pendingCommandLineFile().isEmpty());
    }
};

LW_TEST_CLASS(TestFileSafety)
#include "TestFileSafety.moc"
