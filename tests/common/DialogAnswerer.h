#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

// Answers the real modal dialogs that a test's action opens, in the order given.
// Its own timer polls QApplication::activeModalWidget() every 10 ms; each expected
// dialog is handed to its step (checks, then a button or a typed file name), and is
// always closed afterwards: rejected, with a problem recorded, when the step left it
// open, when a dialog of another type appears, or when an expected one never came.
// Nested dialogs (a question inside a file dialog) are answered the same way.
// The timer dies with the object, so it cannot fire into a later test.
//
//     DialogAnswerer answer;
//     answer.on<QMessageBox>([](QMessageBox *box) {
//         QCOMPARE(box->text(), QStringLiteral("..."));
//         DialogAnswerer::press(box, QMessageBox::No);
//     });
//     window.CloseClick();
//     QVERIFY2(answer.done(), qPrintable(answer.report()));
class DialogAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit DialogAnswerer(int timeoutMs = 10000);
    ~DialogAnswerer() override;

    template<class D> DialogAnswerer &on(std::function<void(D *)> act)
    {
        m_steps.push_back({D::staticMetaObject.className(),
                           [](QWidget *w) { return qobject_cast<D *>(w) != nullptr; },
                           [act](QWidget *w) { act(qobject_cast<D *>(w)); }});
        return *this;
    }

    // True when every step ran and nothing unexpected happened. Waits (processing
    // events) up to the timeout for steps still pending.
    bool done();
    // What went wrong, for QVERIFY2.
    QString report() const;
    int answered() const { return m_answered; }

    // Presses one of a message box's standard buttons.
    static void press(QMessageBox *box, QMessageBox::StandardButton button);
    // Types a file name (a full path, or a name relative to the dialog's folder)
    // into a non-native file dialog and confirms it.
    static void chooseFile(QFileDialog *dialog, const QString &name);
    // Cancels a dialog.
    static void cancel(QDialog *dialog);

private:
    struct Step
    {
        const char *typeName;
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> act;
    };

    void poll();

    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_answered = 0;
    QStringList m_problems;
    QList<QPointer<QWidget>> m_inHand;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_timeoutMs;
};
