#include "DialogAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QTest>

DialogAnswerer::DialogAnswerer(int timeoutMs) : m_timeoutMs(timeoutMs)
{
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start(10);
}

DialogAnswerer::~DialogAnswerer() = default;

void DialogAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        if (m_next < m_steps.size() && m_clock.elapsed() > m_timeoutMs) {
            m_problems << QStringLiteral("expected a %1 that never appeared")
                              .arg(QLatin1String(m_steps[m_next].typeName));
            m_next = m_steps.size();
        }
        return;
    }
    for (const auto &held : std::as_const(m_inHand))
        if (held == modal)
            return; // being answered further up the stack
    auto *dialog = qobject_cast<QDialog *>(modal);
    if (m_next >= m_steps.size() || !m_steps[m_next].matches(modal)) {
        const QString title = modal->windowTitle();
        m_problems << QStringLiteral("unexpected %1 \"%2\"%3")
                          .arg(QLatin1String(modal->metaObject()->className()), title,
                               qobject_cast<QMessageBox *>(modal)
                                   ? QStringLiteral(": ") + qobject_cast<QMessageBox *>(modal)->text()
                                   : QString());
        if (dialog)
            dialog->done(QDialog::Rejected);
        else
            modal->close();
        return;
    }
    // The step runs from a queued call, not inside this timer's slot: Qt does not fire a
    // timer again while its slot runs, and a step that opens a nested dialog needs the
    // polling to go on meanwhile.
    const size_t index = m_next++;
    QPointer<QWidget> guard(modal);
    m_inHand << guard;
    QMetaObject::invokeMethod(
        this,
        [this, index, guard] {
            const Step &step = m_steps[index];
            if (guard)
                step.act(guard);
            m_inHand.removeAll(guard);
            ++m_answered;
            if (guard && guard->isVisible()) {
                m_problems
                    << QStringLiteral("the %1 step left its dialog open").arg(QLatin1String(step.typeName));
                if (auto *d = qobject_cast<QDialog *>(guard.data()))
                    d->done(QDialog::Rejected);
                else
                    guard->close();
            }
        },
        Qt::QueuedConnection);
}

bool DialogAnswerer::done()
{
    while ((m_next < m_steps.size() || !m_inHand.isEmpty()) && m_clock.elapsed() <= m_timeoutMs + 100)
        QTest::qWait(10);
    if (m_next < m_steps.size()) {
        m_problems << QStringLiteral("%1 dialog step(s) never ran").arg(m_steps.size() - m_next);
        m_next = m_steps.size();
    }
    return m_problems.isEmpty();
}

QString DialogAnswerer::report() const
{
    return m_problems.join(QStringLiteral("; "));
}

void DialogAnswerer::press(QMessageBox *box, QMessageBox::StandardButton button)
{
    if (QAbstractButton *b = box->button(button))
        b->click();
}

void DialogAnswerer::chooseFile(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return;
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

void DialogAnswerer::cancel(QDialog *dialog)
{
    dialog->done(QDialog::Rejected);
}
