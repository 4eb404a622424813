#include "DialogAnswerer.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The tests' own dialog driver: a question nested in a file dialog is answered too, and
// an unexpected dialog is closed and reported instead of hanging the run.
class TestDialogAnswerer : public QObject
{
    Q_OBJECT
private slots:
    void answersANestedQuestion()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QFileDialog dialog(nullptr, QStringLiteral("Save"), dir.path());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QString question;
        DialogAnswerer answer;
        answer.on<QFileDialog>([&](QFileDialog *d) { DialogAnswerer::chooseFile(d, path); })
            .on<QMessageBox>([&](QMessageBox *box) {
                question = box->text();
                DialogAnswerer::press(box, QMessageBox::Yes);
            });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QVERIFY(question.contains(QStringLiteral("a.css")));
        QCOMPARE(dialog.selectedFiles(), QStringList{path});
    }

    void reportsAnUnexpectedDialog()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("T"), QStringLiteral("Q?"),
                        QMessageBox::Yes | QMessageBox::No);
        DialogAnswerer answer(500);
        answer.on<QFileDialog>([](QFileDialog *d) { DialogAnswerer::cancel(d); });
        box.exec();
        QVERIFY(!answer.done());
        QVERIFY(answer.report().contains(QStringLiteral("unexpected QMessageBox")));
    }
};

LW_TEST_CLASS(TestDialogAnswerer)
#include "TestDialogAnswerer.moc"
