#include "CodeCheck.h"

#include "Catalogue.h"
#include "Document.h"
#include "Failure.h"
#include "ImageList.h"
#include "StyleSheetReader.h"

#include <QMutexLocker>
#include <memory>
#include <optional>

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

    void setFolder(const QString &folder)
    {
        const QMutexLocker lock(&m_mutex);
        if (folder != m_folder) {
            m_folder = folder;
            m_folderChanged = true;
        }
    }

    QString folder() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_folder;
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
        // The catalogue is opened here, apart from the main window's, and each read goes
        // into a fresh style sheet made from its element list.
        std::unique_ptr<Catalogue> catalogue;
        std::optional<Catalogue::ElementList> elements;
        for (;;) {
            QString text;
            QString folder;
            Outcome outcome;
            bool reopen = false;
            {
                QMutexLocker lock(&m_mutex);
                while (!m_stop && !m_pending)
                    m_wake.wait(&m_mutex);
                if (m_stop)
                    return;
                text = std::exchange(m_text, QString());
                outcome.generation = m_generation;
                m_pending = false;
                folder = m_folder;
                reopen = std::exchange(m_folderChanged, false);
            }
            if (reopen || !catalogue) {
                catalogue.reset();
                elements.reset();
                if (Catalogue::tablesPresent(folder)) {
                    try {
                        auto opened = std::make_unique<Catalogue>();
                        opened->open(folder);
                        ImageList images;
                        elements = opened->buildElementList(images);
                        catalogue = std::move(opened);
                    } catch (const Failure &) {
                        catalogue.reset();
                    }
                }
            }
            // The editor's raw text separates lines with U+2029: they become CR LF, as in
            // the file the main window would read back.
            if (text.contains(QChar::ParagraphSeparator)) {
                QString lines;
                lines.reserve(text.size() + text.count(QChar::ParagraphSeparator));
                qsizetype from = 0;
                for (qsizetype at; (at = text.indexOf(QChar::ParagraphSeparator, from)) >= 0; from = at + 1) {
                    lines.append(QStringView(text).sliced(from, at - from));
                    lines.append(QLatin1String("\r\n"));
                }
                lines.append(QStringView(text).sliced(from));
                text = std::move(lines);
            }
            if (catalogue) {
                auto document = std::make_unique<Document>();
                document->applyElementList(*elements);
                document->addPseudoClassNodes();
                StyleSheetReader::ReadError error;
                outcome.read = StyleSheetReader::readText(*document, *catalogue, text, {}, &error);
                outcome.checked = !error.catalogue;
                if (!outcome.read) {
                    outcome.line = error.line;
                    outcome.column = error.column;
                    outcome.description = error.describe();
                }
                // The outcome goes first; the style sheet read is let go after it.
                text = QString();
                emit m_owner->checked(outcome);
                document.reset();
                continue;
            }
            emit m_owner->checked(outcome);
        }
    }

private:
    CodeCheck *m_owner;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QString m_folder;
    bool m_folderChanged = false;
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

void CodeCheck::setCatalogueFolder(const QString &folder)
{
    m_worker->setFolder(folder);
}

QString CodeCheck::catalogueFolder() const
{
    return m_worker->folder();
}

void CodeCheck::check(const QString &text, quint64 generation)
{
    m_worker->request(text, generation);
}
