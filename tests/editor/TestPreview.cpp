#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "PreviewController.h"
#include "PreviewServer.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

using namespace EditorFixture;

namespace {

// A page's stream of sheets, read as a browser reads it: every `sheet` event's text, in
// the order they came, with the time each came.
class SheetStream : public QObject
{
public:
    explicit SheetStream(const PreviewServer &server)
    {
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { take(); });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        const QByteArray host = "127.0.0.1:" + QByteArray::number(server.port());
        m_socket.write("GET /" + server.token().toLatin1() +
                       "/__loomwright/events HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    }

    // Runs the event loop until a text equal to `text` comes (or 5 s pass); true when
    // it came.
    bool waitFor(const QString &text)
    {
        if (!texts.isEmpty() && texts.last() == text)
            return true;
        QEventLoop loop;
        m_awaited = text;
        m_loop = &loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return !texts.isEmpty() && texts.last() == text;
    }

    QStringList texts;
    QElapsedTimer clock; // started by the test before an edit
    qint64 lastAt = -1;  // when the last text came, on `clock`
    bool closed() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }

private:
    void take()
    {
        m_buffer += m_socket.readAll();
        for (qsizetype end; (end = m_buffer.indexOf('\n')) >= 0; m_buffer.remove(0, end + 1)) {
            const QByteArray line = m_buffer.left(end);
            if (line.startsWith("data: ")) {
                texts
                    << QJsonDocument::fromJson(line.mid(6)).object().value(QStringLiteral("text")).toString();
                lastAt = clock.isValid() ? clock.elapsed() : -1;
                if (m_loop && texts.last() == m_awaited)
                    m_loop->quit();
            }
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
    QString m_awaited;
    QEventLoop *m_loop = nullptr;
};

// The longest time the event loop went without running a 5 ms timer while it lived.
class LoopWatch
{
public:
    LoopWatch()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_timer.start();
    }
    qint64 longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

} // namespace

// The window's Preview: the document's text reaches the pages at each change, soon and
// coalesced, without holding up the window; the page chosen is kept per sheet.
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void sendsEachChangeWithoutBlockingTheWindow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "a { color: red; }\n");
        auto form = startMainWindow(path);
        QVERIFY(form);
        QStringList opened;
        form->preview()->setBrowserOpener([&opened](const QString &url) { opened << url; });
        form->PreviewClick();
        PreviewServer *server = form->preview()->server();
        QVERIFY(server);
        QCOMPARE(opened, QStringList{server->sampleUrl()});

        SheetStream stream(*server);
        QTRY_COMPARE_WITH_TIMEOUT(stream.texts, QStringList{QStringLiteral("a { color: red; }\n")}, 5000);

        LoopWatch watch;
        // An undoable edit of a value, and its undo, each reach the page within 100 ms.
        const QModelIndex colour = findNode(*form, QStringLiteral("a"), QStringLiteral("color: red"));
        QVERIFY(colour.isValid());
        stream.clock.start();
        QVERIFY(DocumentEdits::writeValue(form->document(), colour, QStringLiteral("green")));
        const qint64 edited = stream.clock.elapsed();
        QVERIFY(stream.waitFor(QStringLiteral("a { color: green; }\n")));
        QVERIFY2(stream.lastAt <= 100,
                 qPrintable(QStringLiteral("%1 ms (the edit took %2 ms)").arg(stream.lastAt).arg(edited)));
        const qint64 editDelay = stream.lastAt;
        stream.clock.start();
        form->document().undoStack().undo();
        QVERIFY(stream.waitFor(QStringLiteral("a { color: red; }\n")));
        const qint64 undoDelay = stream.lastAt;
        QVERIFY2(undoDelay <= 100, qPrintable(QString::number(undoDelay)));

        // A burst of edits comes as a few texts, the last one the document's.
        const qsizetype before = stream.texts.size();
        QElapsedTimer burst;
        burst.start();
        int edits = 0;
        while (burst.elapsed() < 100) {
            const QModelIndex value = findNode(*form, QStringLiteral("a"));
            QVERIFY(DocumentEdits::writeValue(form->document(), value.model()->index(0, 0, value),
                                              QStringLiteral("#%1").arg(++edits, 6, 10, QLatin1Char('0'))));
            QTest::qWait(1);
        }
        const QString last = QStringLiteral("a { color: #%1; }\n").arg(edits, 6, 10, QLatin1Char('0'));
        QVERIFY(stream.waitFor(last));
        const qsizetype sent = stream.texts.size() - before;
        QVERIFY2(edits >= 20, qPrintable(QString::number(edits)));
        // One at once, then at most one each 30 ms.
        QVERIFY2(sent <= 100 / PreviewController::MinimumGap + 2,
                 qPrintable(QStringLiteral("%1 texts for %2 edits").arg(sent).arg(edits)));
        QVERIFY2(watch.longest() <= 50, qPrintable(QString::number(watch.longest())));
        qInfo("edit to text received %lld ms, undo %lld ms; %d edits in 100 ms sent as %lld texts; "
              "event loop held at most %lld ms",
              editDelay, undoDelay, edits, qlonglong(sent), watch.longest());

        // The window gone (as when the program ends), the page's stream ends.
        form.reset();
        QTRY_VERIFY_WITH_TIMEOUT(stream.closed(), 5000);
    }

    void remembersThePagePerSheet()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        const QString other = dir.filePath(QStringLiteral("other.css"));
        const QString page = dir.filePath(QStringLiteral("site/index.html"));
        writeFile(sheet, "a { color: red; }\n");
        writeFile(other, "b { color: red; }\n");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("site"))));
        writeFile(page, "<!DOCTYPE html><link rel=stylesheet href=sheet.css><p>x</p>");
        {
            const auto form = startMainWindow(sheet);
            QVERIFY(form);
            form->preview()->setBrowserOpener([](const QString &) {});
            QVERIFY(form->preview()->previewPage(page));
            QVERIFY(form->preview()->url().endsWith(QLatin1String("/index.html")));
        }
        QCOMPARE(PreviewController::rememberedPage(sheet), QFileInfo(page).absoluteFilePath());
        QCOMPARE(PreviewController::rememberedPage(other), QString());
        {
            const auto form = startMainWindow(sheet);
            QVERIFY(form);
            form->preview()->setBrowserOpener([](const QString &) {});
            QVERIFY(form->preview()->preview());
            QVERIFY(form->preview()->url().endsWith(QLatin1String("/index.html")));
            // A page that has gone: the sample page instead.
            QVERIFY(QFile::remove(page));
            form->preview()->stop();
            QVERIFY(form->preview()->preview());
            QCOMPARE(form->preview()->url(), form->preview()->server()->sampleUrl());
        }
    }
};

LW_TEST_CLASS(TestPreview)
#include "TestPreview.moc"
