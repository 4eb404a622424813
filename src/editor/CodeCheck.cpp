#include "CodeCheck.h"

#include "StyleSheetReader.h"

#include <QMutexLocker>

class CodeCheck::Worker : public QThread
{
public:
    explicit Worker(CodeCheck *owner) : m_owner(owner) {}

    ~Worker() override
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_stop = true;
            m_wake.wakeAll();
        }
        wait();
    }

    void request(const QString &text, quint64 generation)
    {
        const QMutexLocker lock(&m_mutex);
        m_text = text;
        m_generation = generation;
        m_pending = true;
        m_wake.wakeAll();
        if (!isRunning())
            start(QThread::LowPriority);
    }

protected:
    void run() override
    {
        for (;;) {
            QString text;
            Outcome outcome;
            {
                QMutexLocker lock(&m_mutex);
                while (!m_stop && !m_pending)
                    m_wake.wait(&m_mutex);
                if (m_stop)
                    return;
                text = std::exchange(m_text, QString());
                outcome.generation = m_generation;
                m_pending = false;
            }
            // The editor's raw text separates lines with U+2029; the reader takes LF,
            // which it counts lines by as it does in the CR LF of a file.
            text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            StyleSheetReader::ReadError error;
            outcome.read = StyleSheetReader::checkText(text, &error);
            if (!outcome.read) {
                outcome.line = error.line;
                outcome.column = error.column;
                outcome.description = error.describe();
            }
            text = QString();
            emit m_owner->checked(outcome);
        }
    }

private:
    CodeCheck *m_owner;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QString m_text;
    quint64 m_generation = 0;
    bool m_pending = false;
    bool m_stop = false;
};

CodeCheck::CodeCheck(QObject *parent) : QObject(parent), m_worker(new Worker(this))
{
    qRegisterMetaType<CodeCheck::Outcome>();
}

CodeCheck::~CodeCheck()
{
    delete m_worker;
}

void CodeCheck::check(const QString &text, quint64 generation)
{
    m_worker->request(text, generation);
}
