#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "RecoveryGuard.h"
#include "RecoveryStore.h"
#include "StyleSheetWriter.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

// The recovery files in the folder the main window writes to.
QList<RecoveryStore::Entry> recoveryFiles()
{
    return RecoveryStore().list();
}

// Leaves a recovery file as a crashed instance leaves it: written, then its writer
// made a process that no longer runs.
RecoveryStore::Entry leaveCrashedWork(const QString &documentPath, const QString &text,
                                      TextFile::Encoding encoding)
{
    const RecoveryStore store;
    store.write(documentPath, text, encoding);
    const QString file = store.recoveryFileFor(documentPath);
    QByteArray bytes = readFile(file);
    const qsizetype from = bytes.indexOf("\npid: ") + 6;
    bytes.replace(from, bytes.indexOf('\n', from) - from, "2147480000");
    // Under a name of its own, as another instance names its files.
    QFile::remove(file);
    writeFile(QFileInfo(file).dir().filePath(QStringLiteral("crashed.recovery")), bytes);
    const QList<RecoveryStore::Entry> entries = store.list();
    return entries.value(0);
}

// Another program writes `bytes` to the file the window has open with edits: the
// window asks, and is answered Keep Editing.
void keepEditingWhenChanged(const QString &path, const QByteArray &bytes)
{
    DialogAnswerer answer;
    answer.on<QMessageBox>([](QMessageBox *box) {
        QVERIFY2(box->text().contains(QStringLiteral("changed by another program")), qPrintable(box->text()));
        for (QAbstractButton *button : box->buttons())
            if (button->text() == QStringLiteral("&Keep Editing"))
                button->click();
    });
    writeFile(path, bytes);
    QVERIFY2(answer.done(), qPrintable(answer.report()));
    QTRY_COMPARE_WITH_TIMEOUT(answer.answered(), 1, 5000);
}

void clearRecoveryFiles()
{
    for (const RecoveryStore::Entry &entry : recoveryFiles())
        RecoveryStore::remove(entry);
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { clearRecoveryFiles(); }
    void cleanup() { clearRecoveryFiles(); }

    // While the document is modified its text is written after the interval, and only
    // after a change; Save, New and a normal end remove it.
    void unsavedWorkIsKeptUntilSavedOrGivenUp()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {color=red;}");
        auto form = startMainWindow(path);
        QVERIFY(form);
        form->recovery().setInterval(50);
        QTest::qWait(150);
        QVERIFY(recoveryFiles().isEmpty()); // nothing edited yet

        editDocument(*form);
        QVERIFY(recoveryFiles().isEmpty()); // not on the typing path: after the interval
        QTRY_COMPARE(recoveryFiles().size(), 1);
        RecoveryStore::Entry entry = recoveryFiles().value(0);
        QCOMPARE(entry.documentPath, path);
        QCOMPARE(RecoveryStore::read(entry), StyleSheetWriter::styleSheetText(form->document()));
        QVERIFY(RecoveryStore::ownedByRunningInstance(entry)); // this instance's own work

        // A later edit replaces the text.
        editDocument(*form, QStringLiteral("font-size=12"));
        QTRY_COMPARE(RecoveryStore::read(recoveryFiles().value(0)),
                     StyleSheetWriter::styleSheetText(form->document()));
        QCOMPARE(recoveryFiles().size(), 1);

        form->FinishClick();
        QVERIFY(recoveryFiles().isEmpty());
        QTest::qWait(150);
        QVERIFY(recoveryFiles().isEmpty()); // nothing changed since the save

        editDocument(*form, QStringLiteral("text-align=left"));
        QTRY_COMPARE(recoveryFiles().size(), 1);
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
            form->NewClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QVERIFY(recoveryFiles().isEmpty());

        editDocument(*form);
        QTRY_COMPARE(recoveryFiles().size(), 1);
        QCOMPARE(recoveryFiles().value(0).documentPath, QString()); // a document without a file
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
            form->CloseClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QVERIFY(form->isHidden());
        QVERIFY(recoveryFiles().isEmpty());
    }

    void crashedWorkIsOffered_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Recover") << QStringLiteral("Recover");
        QTest::newRow("Discard") << QStringLiteral("Discard");
        QTest::newRow("Later") << QStringLiteral("Later");
    }

    void crashedWorkIsOffered()
    {
        QFETCH(QString, button);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        const QByteArray onDisk = "P {color=red;}";
        writeFile(path, onDisk);
        const QString text = QStringLiteral("H1 {margin=5;}\r\nP {color=red; content=\"caf\u00E9\";}");
        const RecoveryStore::Entry crashed = leaveCrashedWork(path, text, TextFile::Encoding::Latin1);
        QVERIFY(!crashed.recoveryFile.isEmpty());
        QVERIFY(!RecoveryStore::ownedByRunningInstance(crashed));

        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->text(), QStringLiteral("Recover unsaved changes to site.css from %1?")
                                      .arg(crashed.time.toLocalTime().toString(QStringLiteral("HH:mm"))));
            QCOMPARE(box->informativeText(), path);
            QStringList labels;
            QAbstractButton *chosen = nullptr;
            for (QAbstractButton *b : box->buttons()) {
                labels << b->text();
                if (b->text() == button)
                    chosen = b;
            }
            labels.sort();
            QCOMPARE(labels, (QStringList{QStringLiteral("Discard"), QStringLiteral("Later"),
                                          QStringLiteral("Recover")}));
            QVERIFY(chosen);
            chosen->click();
        });
        const auto form = startMainWindow();
        QVERIFY(form);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        // The file itself is never touched before a save.
        QCOMPARE(readFile(path), onDisk);

        if (button == QLatin1String("Recover")) {
            QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
            QVERIFY(form->document().isModified());
            QCOMPARE(form->document().currentFileName(), path);
            QCOMPARE(form->document().encoding(), TextFile::Encoding::Latin1);
            QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *") + path);
            // This instance keeps the work now; the crashed instance's file is gone.
            QVERIFY(!QFile::exists(crashed.recoveryFile));
            QCOMPARE(recoveryFiles().size(), 1);
            QCOMPARE(RecoveryStore::read(recoveryFiles().value(0)), text);
            form->FinishClick();
            QCOMPARE(readFile(path), QByteArray("H1 {margin=5;}\r\nP {color=red; content=\"caf\xE9\";}"));
            QVERIFY(recoveryFiles().isEmpty());
        } else {
            QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
            QVERIFY(!form->document().isModified());
            QCOMPARE(QFile::exists(crashed.recoveryFile), button == QLatin1String("Later"));
        }
    }

    // Another program changes the file after the work began but before its first
    // recovery write: the recovery file records the file as it was read, so that the
    // next start says the file changed since.
    void changeBeforeTheFirstWriteIsSeen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {color=red;}");
        auto form = startMainWindow(path);
        QVERIFY(form);
        form->recovery().setInterval(60000);
        editDocument(*form);
        keepEditingWhenChanged(path, "P {color=blue; margin=0;}");
        form->recovery().writeNow();
        QCOMPARE(recoveryFiles().size(), 1);
        QVERIFY(RecoveryStore::changedOnDisk(recoveryFiles().value(0)));
    }

    void workOnAChangedFile_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Open as New") << QStringLiteral("Open as New");
        QTest::newRow("Recover") << QStringLiteral("Recover");
    }

    // The file changed on disk after the unsaved work began: the question says so and
    // when, and offers the work as a new document (the default), which leaves the other
    // program's change as it is; Save As then proposes a name beside the file.
    void workOnAChangedFile()
    {
        QFETCH(QString, button);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {color=red;}");
        const QString text = QStringLiteral("H1 {margin=5;}\r\nP {color=red;}");
        const RecoveryStore::Entry crashed = leaveCrashedWork(path, text, TextFile::Encoding::Utf8);
        QVERIFY(crashed.disk);
        // Another program's change, at a known time.
        const QByteArray changed = "P {color=blue;}";
        writeFile(path, changed);
        const QDateTime changedAt(QDate(2024, 3, 5), QTime(11, 5));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(changedAt, QFileDevice::FileModificationTime));
        }

        std::unique_ptr<TMainForm> form;
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->text(), QStringLiteral("Recover unsaved changes to site.css from %1?")
                                          .arg(crashed.time.toLocalTime().toString(QStringLiteral("HH:mm"))));
                QCOMPARE(
                    box->informativeText(),
                    path + QStringLiteral("\n\nThe file was changed on disk at 2024-03-05 11:05, after this "
                                          "work began. Recover puts this work in its place when you save it; "
                                          "Open as New keeps the file as it is now and opens this work as a "
                                          "new style sheet."));
                QStringList labels;
                QAbstractButton *chosen = nullptr;
                for (QAbstractButton *b : box->buttons()) {
                    labels << b->text();
                    if (b->text() == button)
                        chosen = b;
                }
                labels.sort();
                QCOMPARE(labels, (QStringList{QStringLiteral("Discard"), QStringLiteral("Later"),
                                              QStringLiteral("Open as New"), QStringLiteral("Recover")}));
                QCOMPARE(box->defaultButton()->text(), QStringLiteral("Open as New"));
                QVERIFY(chosen);
                chosen->click();
            });
            form = startMainWindow();
            QVERIFY(form);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
        QVERIFY(form->document().isModified());
        QCOMPARE(readFile(path), changed);
        QVERIFY(!QFile::exists(crashed.recoveryFile));
        QCOMPARE(recoveryFiles().size(), 1);

        if (button == QLatin1String("Recover")) {
            QCOMPARE(form->document().currentFileName(), path);
            // The work keeps the base it began from: the recovery file this instance
            // wrote still says that the file changed after the work began.
            QVERIFY(RecoveryStore::changedOnDisk(recoveryFiles().value(0)));
            // The file is watched: a further change by another program is asked about.
            keepEditingWhenChanged(path, "P {color=green; margin=0;}");
            QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
            return;
        }
        QVERIFY(!form->document().hasFile());
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
        QCOMPARE(recoveryFiles().value(0).documentPath, QString());
        const QString beside = dir.filePath(QStringLiteral("site (recovered).css"));
        {
            DialogAnswerer save;
            save.on<QFileDialog>([&](QFileDialog *dialog) {
                QCOMPARE(dialog->selectedFiles(), QStringList{beside});
                DialogAnswerer::chooseFile(dialog, beside);
            });
            form->SaveAsClick();
            QVERIFY2(save.done(), qPrintable(save.report()));
        }
        QCOMPARE(readFile(beside), text.toUtf8());
        QCOMPARE(readFile(path), changed);
    }

    // Recovery files that cannot be read are moved into the damaged folder, said once
    // with where they went and why, and never deleted.
    void damagedFilesAreReportedOnce()
    {
        const RecoveryStore store;
        QVERIFY(QDir().mkpath(store.folder()));
        const QByteArray junk = "no recovery file at all\n";
        writeFile(QDir(store.folder()).filePath(QStringLiteral("junk.recovery")), junk);
        const QString movedTo = QDir(store.damagedFolder()).filePath(QStringLiteral("junk.recovery"));
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([&](QMessageBox *box) {
                QCOMPARE(box->icon(), QMessageBox::Warning);
                QCOMPARE(box->text(), QStringLiteral("1 recovery file could not be read and was moved to %1.")
                                          .arg(store.damagedFolder()));
                QCOMPARE(box->informativeText(), movedTo + QStringLiteral(": It is no recovery file"));
                DialogAnswerer::press(box, QMessageBox::Ok);
            });
            const auto form = startMainWindow();
            QVERIFY(form);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QCOMPARE(answer.answered(), 1);
        }
        QCOMPARE(readFile(movedTo), junk);
        {
            DialogAnswerer none;
            const auto form = startMainWindow();
            QVERIFY(form);
            QVERIFY2(none.done(), qPrintable(none.report()));
            QCOMPARE(none.answered(), 0);
        }
        QVERIFY(QDir(store.damagedFolder()).removeRecursively());
    }
};

LW_TEST_CLASS(TestRecovery)
#include "TestRecovery.moc"
