#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <QWaitCondition>

// Reads the code window's text as the main window would read it back (the reader's
// check, which keeps nothing of what it reads), on a thread of its own so that typing never waits for it.
// Only the latest text asked for is read: a text that comes while another is being read replaces any still
// waiting.
class CodeCheck : public QObject
{
    Q_OBJECT
public:
    struct Outcome
    {
        quint64 generation = 0; // as given with the text
        bool read = false;      // the reader took the text
        int line = 0;           // where the reader stopped (1-based), 0 for no place
        int column = 0;
        QString description; // "line 3, column 1: "}" closes no block"
    };

    explicit CodeCheck(QObject *parent = nullptr);
    ~CodeCheck() override;

    // `text` has CR LF between lines, or is the editor's raw text (U+2029 between lines).
    void check(const QString &text, quint64 generation);

signals:
    void checked(const CodeCheck::Outcome &outcome);

private:
    class Worker;
    Worker *m_worker;
};

Q_DECLARE_METATYPE(CodeCheck::Outcome)
