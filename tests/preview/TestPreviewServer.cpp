#include "PreviewServer.h"
#include "TestRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Reply
{
    int status = 0; // 0: the connection ended without an answer
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

Reply parse(const QByteArray &all)
{
    Reply reply;
    const int end = all.indexOf("\r\n\r\n");
    if (!all.startsWith("HTTP/1.1 ") || end < 0)
        return reply;
    reply.status = all.mid(9, 3).toInt();
    reply.head = all.left(end);
    reply.body = all.mid(end + 4);
    return reply;
}

// Sends the raw request on a connection of its own and reads until the server closes it.
Reply exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    QByteArray all;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < 10000) {
        if (socket.waitForReadyRead(200))
            all += socket.readAll();
    }
    all += socket.readAll();
    return parse(all);
}

QByteArray get(quint16 port, const QByteArray &target, const QByteArray &method = "GET",
               const QByteArray &extra = {})
{
    return method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nConnection: close\r\n" + extra + "\r\n";
}

// The time the calling thread has spent runnable but waiting for a processor, in ms
// (the kernel's scheduler statistics); 0 where the system does not tell.
qint64 runQueueWaitMs()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() / 1000000 : 0;
}

// What each client of a flood received (the start of it), in memory shared with the
// process that sends the flood.
struct Flood
{
    static constexpr int Clients = 1000;
    struct Client
    {
        int length = 0;
        char bytes[2048];
    };
    Client clients[Clients];
    int waiting = 0; // connections still open when the flood gave up
};

// The flood, in a process of its own: Flood::Clients connections at once to the port;
// one in ten says nothing and waits (it holds a connection until the server's read
// timeout lets it go), the others send `request`. Connections the system's queue could
// not take wait for the system to try their handshake again (seconds apart): those
// still open after 20 s are counted and dropped. Plain system calls only, no
// allocation: the process is a fork of one that runs threads.
void sendFlood(quint16 port, const QByteArray &request, Flood &flood)
{
    constexpr int Clients = Flood::Clients;
    static int fds[Clients];
    static bool connected[Clients];
    static bool done[Clients];
    static pollfd polled[Clients];
    static int polledClient[Clients];
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < Clients; ++i) {
        fds[i] = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        done[i] =
            fds[i] < 0 || (::connect(fds[i], reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 &&
                           errno != EINPROGRESS);
    }
    timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec >= 20)
            break;
        int count = 0;
        for (int i = 0; i < Clients; ++i) {
            if (done[i])
                continue;
            const bool silent = i % 10 == 0;
            polled[count] = {fds[i], short(POLLIN | (!connected[i] && !silent ? POLLOUT : 0)), 0};
            polledClient[count++] = i;
        }
        if (count == 0)
            break;
        if (::poll(polled, nfds_t(count), 100) < 0)
            continue;
        for (int k = 0; k < count; ++k) {
            const int i = polledClient[k];
            const short events = polled[k].revents;
            if (events & POLLOUT) {
                connected[i] = true;
                if (::write(fds[i], request.constData(), size_t(request.size())) != request.size())
                    done[i] = true;
            }
            if (events & (POLLIN | POLLHUP | POLLERR)) {
                Flood::Client &client = flood.clients[i];
                char spill[4096];
                const size_t room = sizeof client.bytes - size_t(client.length);
                const ssize_t got = room > 0 ? ::read(fds[i], client.bytes + client.length, room)
                                             : ::read(fds[i], spill, sizeof spill);
                if (got > 0 && room > 0)
                    client.length += int(got);
                else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                    done[i] = true;
            }
        }
    }
    for (int i = 0; i < Clients; ++i) {
        if (!done[i])
            ++flood.waiting;
        if (fds[i] >= 0)
            ::close(fds[i]);
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QByteArray Secret = "the secret outside the folder";

} // namespace

// The preview server as a hostile page or program on the same machine meets it, and as
// the window meets it: it must never answer without its token, never hand out a byte
// outside its folder, never accept a body, stay within its bounds under a flood, and
// never hold up the thread that owns it.
class TestPreviewServer : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_site;
    PreviewServer *m_server = nullptr;
    QByteArray m_token;

    QByteArray path(const QByteArray &rest) const { return '/' + m_token + '/' + rest; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_site = m_dir.filePath(QStringLiteral("site"));
        writeFile(m_site + QLatin1String("/index.html"),
                  "<!DOCTYPE html><html><head><link rel=stylesheet "
                  "href=style.css></head><body><p>Hi</p></body></html>");
        writeFile(m_site + QLatin1String("/style.css"), "p { color: red }");
        writeFile(m_site + QLatin1String("/app.js"), "let a = 1;");
        writeFile(m_site + QLatin1String("/pic.svg"), "<svg xmlns='http://www.w3.org/2000/svg'/>");
        writeFile(m_site + QLatin1String("/font.woff2"), "wOF2");
        writeFile(m_site + QLatin1String("/blob.bin"), QByteArray(100000, 'x'));
        writeFile(m_site + QLatin1String("/sub/inner.css"), "a { color: blue }");
        writeFile(m_dir.filePath(QStringLiteral("outside/secret.txt")), Secret);
        QVERIFY(QFile::link(QStringLiteral("../outside"), m_site + QLatin1String("/link-out")));
        QVERIFY(
            QFile::link(QStringLiteral("../outside/secret.txt"), m_site + QLatin1String("/link-file.txt")));
        QVERIFY(QFile::link(QStringLiteral("style.css"), m_site + QLatin1String("/link-in.css")));
        QVERIFY(
            QFile::link(m_dir.filePath(QStringLiteral("outside")), m_site + QLatin1String("/sub/deep-out")));

        m_server = new PreviewServer(this);
        QVERIFY2(m_server->start(m_site, QStringLiteral("style.css")), qPrintable(m_server->errorString()));
        m_token = m_server->token().toLatin1();
        QCOMPARE(m_token.size(), 32);
        QVERIFY(m_server->baseUrl().startsWith(QLatin1String("http://127.0.0.1:")));
    }

    void cleanupTestCase() { delete m_server; }

    void refusesWithoutItsToken_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<int>("status");
        const QByteArray host = "127.0.0.1:PORT";
        QTest::newRow("with token") << QByteArray("/TOKEN/style.css") << host << 200;
        QTest::newRow("localhost") << QByteArray("/TOKEN/style.css") << QByteArray("localhost:PORT") << 200;
        QTest::newRow("no token") << QByteArray("/style.css") << host << 403;
        QTest::newRow("root") << QByteArray("/") << host << 403;
        QTest::newRow("token alone") << QByteArray("/TOKEN") << host << 403;
        QTest::newRow("wrong token") << QByteArray("/0123456789abcdef0123456789abcdef/style.css") << host
                                     << 403;
        QTest::newRow("token in upper case") << QByteArray("/UPPERTOKEN/style.css") << host << 403;
        QTest::newRow("token cut short") << QByteArray("/SHORTTOKEN/style.css") << host << 403;
        QTest::newRow("token as a query") << QByteArray("/style.css?token=TOKEN") << host << 403;
        QTest::newRow("own resources need it too") << QByteArray("/__loomwright/events") << host << 403;
        QTest::newRow("other host name")
            << QByteArray("/TOKEN/style.css") << QByteArray("evil.example:PORT") << 403;
        QTest::newRow("other port") << QByteArray("/TOKEN/style.css") << QByteArray("127.0.0.1:1") << 403;
    }

    void refusesWithoutItsToken()
    {
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, host);
        QFETCH(int, status);
        const QByteArray port = QByteArray::number(m_server->port());
        target.replace("UPPERTOKEN", m_token.toUpper())
            .replace("SHORTTOKEN", m_token.left(31))
            .replace("TOKEN", m_token);
        host.replace("PORT", port);
        const Reply reply = exchange(m_server->port(), "GET " + target + " HTTP/1.1\r\nHost: " + host +
                                                           "\r\nConnection: close\r\n\r\n");
        QCOMPARE(reply.status, status);
        if (status != 200)
            QVERIFY(!reply.body.contains("color"));
    }

    void servesNothingOutsideItsFolder_data()
    {
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<int>("status");
        QTest::newRow("a file inside") << QByteArray("sub/inner.css") << 200;
        QTest::newRow("a link that stays inside") << QByteArray("link-in.css") << 200;
        QTest::newRow("dot dot") << QByteArray("../outside/secret.txt") << 404;
        QTest::newRow("dot dot after a folder") << QByteArray("sub/../../outside/secret.txt") << 404;
        QTest::newRow("encoded dot dot") << QByteArray("%2e%2e/outside/secret.txt") << 404;
        QTest::newRow("encoded in upper case") << QByteArray("%2E%2E/outside/secret.txt") << 404;
        QTest::newRow("encoded slash") << QByteArray("..%2foutside%2fsecret.txt") << 404;
        QTest::newRow("twice encoded") << QByteArray("%252e%252e/outside/secret.txt") << 404;
        QTest::newRow("backslash") << QByteArray("..%5coutside%5csecret.txt") << 404;
        QTest::newRow("NUL byte") << QByteArray("style.css%00.txt") << 404;
        QTest::newRow("overlong UTF-8 dot") << QByteArray("%c0%ae%c0%ae/outside/secret.txt") << 404;
        QTest::newRow("absolute path") << QByteArray("/etc/passwd") << 404;
        QTest::newRow("link to a folder outside") << QByteArray("link-out/secret.txt") << 404;
        QTest::newRow("link to a file outside") << QByteArray("link-file.txt") << 404;
        QTest::newRow("absolute link in a subfolder") << QByteArray("sub/deep-out/secret.txt") << 404;
        QTest::newRow("folder, no listing") << QByteArray("sub") << 404;
        QTest::newRow("folder with slash, no index") << QByteArray("sub/") << 404;
        QTest::newRow("missing") << QByteArray("nothing.css") << 404;
        QTest::newRow("own folder, unknown") << QByteArray("__loomwright/../style.css") << 404;
    }

    void servesNothingOutsideItsFolder()
    {
        QFETCH(QByteArray, rest);
        QFETCH(int, status);
        const Reply reply = exchange(m_server->port(), get(m_server->port(), path(rest)));
        QCOMPARE(reply.status, status);
        QVERIFY(!reply.body.contains(Secret));
        QVERIFY(!reply.body.contains("inner.css")); // never a listing
    }

    void answersGetAndHeadOnly_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        for (const char *method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
            QTest::addRow("%s a file", method) << QByteArray(method) << QByteArray("style.css");
            QTest::addRow("%s a new file", method) << QByteArray(method) << QByteArray("new.css");
        }
        QTest::newRow("POST the inspect report") << QByteArray("POST") << QByteArray("__loomwright/inspect");
    }

    void answersGetAndHeadOnly()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        const QByteArray body = "p { color: green }";
        const Reply reply = exchange(m_server->port(), get(m_server->port(), path(target), method,
                                                           "Content-Type: text/css\r\nContent-Length: " +
                                                               QByteArray::number(body.size()) + "\r\n") +
                                                           body);
        QCOMPARE(reply.status, 405);
        QCOMPARE(reply.header("Allow"), QByteArray("GET, HEAD"));
        QVERIFY(!QFile::exists(m_site + QLatin1String("/new.css")));
        QFile style(m_site + QLatin1String("/style.css"));
        QVERIFY(style.open(QIODevice::ReadOnly));
        QCOMPARE(style.readAll(), QByteArray("p { color: red }"));
    }

    void givesContentTypes_data()
    {
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("css") << QByteArray("style.css") << QByteArray("text/css");
        QTest::newRow("js") << QByteArray("app.js") << QByteArray("text/javascript");
        QTest::newRow("svg") << QByteArray("pic.svg") << QByteArray("image/svg+xml");
        QTest::newRow("woff2") << QByteArray("font.woff2") << QByteArray("font/woff2");
        QTest::newRow("unknown") << QByteArray("blob.bin") << QByteArray("application/octet-stream");
        QTest::newRow("html") << QByteArray("index.html") << QByteArray("text/html");
        QTest::newRow("folder index") << QByteArray("") << QByteArray("text/html");
        QTest::newRow("sample page") << QByteArray("__loomwright-sample.html")
                                     << QByteArray("text/html; charset=utf-8");
        QTest::newRow("live script") << QByteArray("__loomwright/live.js") << QByteArray("text/javascript");
    }

    void givesContentTypes()
    {
        QFETCH(QByteArray, rest);
        QFETCH(QByteArray, type);
        const Reply reply = exchange(m_server->port(), get(m_server->port(), path(rest)));
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.header("Content-Type"), type);
        QCOMPARE(reply.header("X-Content-Type-Options"), QByteArray("nosniff"));
        // The token must not leave with links the page follows to other sites.
        QCOMPARE(reply.header("Referrer-Policy"), QByteArray("no-referrer"));
        if (type.startsWith("text/html")) {
            // The live script is put in before the end of the body, naming the sheet.
            QVERIFY(reply.body.contains("data-lw-sheet=\"style.css\"></script></body>"));
        }
        const Reply head = exchange(m_server->port(), get(m_server->port(), path(rest), "HEAD"));
        QCOMPARE(head.status, 200);
        QCOMPARE(head.header("Content-Type"), type);
        QVERIFY(head.body.isEmpty());
    }

    void refusesAHugeRequestLine()
    {
        // A megabyte of path: refused, never served, and the server goes on serving.
        const QByteArray target = path(QByteArray(1 << 20, 'a'));
        const Reply reply = exchange(m_server->port(), get(m_server->port(), target));
        QVERIFY2(reply.status == 0 || reply.status == 414 || reply.status == 400,
                 QByteArray::number(reply.status).constData());
        // A megabyte of one header, and a declared body of a gigabyte.
        const Reply header = exchange(m_server->port(), get(m_server->port(), path("style.css"), "GET",
                                                            "X-Long: " + QByteArray(1 << 20, 'b') + "\r\n"));
        QVERIFY2(header.status == 0 || header.status == 431 || header.status == 400,
                 QByteArray::number(header.status).constData());
        const Reply body = exchange(m_server->port(), get(m_server->port(), path("style.css"), "GET",
                                                          "Content-Length: 1073741824\r\n"));
        // A GET's body is never read: answered at once, or refused.
        QVERIFY2(body.status == 200 || body.status == 413, QByteArray::number(body.status).constData());
        QCOMPARE(exchange(m_server->port(), get(m_server->port(), path("style.css"))).status, 200);
    }

    // A page's report of a click comes in parts of a GET each, in any order: put
    // together, it is handed over once, as the JSON the page sent; bad or oversized
    // parts are refused and hand over nothing.
    void takesAReportInParts_data()
    {
        QTest::addColumn<QList<QByteArray>>("queries");
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QByteArray>("handedOver"); // empty: nothing

        const auto part = [](const char *id, int index, int count, const QByteArray &data) {
            return "id=" + QByteArray(id) + "&part=" + QByteArray::number(index) +
                   "&of=" + QByteArray::number(count) + "&data=" + data.toPercentEncoding();
        };
        QTest::newRow("one part") << QList<QByteArray>{part("a", 0, 1, "{\"rules\":[]}")} << QList<int>{204}
                                  << QByteArray("{\"rules\":[]}");
        QTest::newRow("three parts, last first")
            << QList<QByteArray>{part("b", 2, 3, "[1]}"), part("b", 0, 3, "{\"ru"), part("b", 1, 3, "les\":")}
            << QList<int>{204, 204, 204} << QByteArray("{\"rules\":[1]}");
        QTest::newRow("not JSON") << QList<QByteArray>{part("c", 0, 1, "{rules")} << QList<int>{204}
                                  << QByteArray();
        QTest::newRow("too many parts")
            << QList<QByteArray>{part("d", 0, 65, "{}")} << QList<int>{400} << QByteArray();
        QTest::newRow("part past the count")
            << QList<QByteArray>{part("e", 1, 1, "{}")} << QList<int>{400} << QByteArray();
        QTest::newRow("count changed midway")
            << QList<QByteArray>{part("f", 0, 2, "{\"a\":"), part("f", 1, 3, "1}")} << QList<int>{204, 400}
            << QByteArray();
        QTest::newRow("no data") << QList<QByteArray>{QByteArray("id=g&part=0&of=1")} << QList<int>{400}
                                 << QByteArray();
    }

    void takesAReportInParts()
    {
        QFETCH(QList<QByteArray>, queries);
        QFETCH(QList<int>, statuses);
        QFETCH(QByteArray, handedOver);
        QSignalSpy reports(m_server, &PreviewServer::inspected);
        for (qsizetype i = 0; i < queries.size(); ++i)
            QCOMPARE(
                exchange(m_server->port(), get(m_server->port(), path("__loomwright/inspect?" + queries[i])))
                    .status,
                statuses[i]);
        if (handedOver.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(reports.size(), 0);
        } else {
            QTRY_COMPARE(reports.size(), 1);
            QCOMPARE(reports.at(0).at(0).toByteArray(), handedOver);
        }
    }

    void boundsAThousandConnectionsWithoutHoldingUpItsThread()
    {
        // A server of its own with a short read timeout, so that the silent clients of
        // the flood are let go soon.
        PreviewServer server;
        PreviewLimits limits;
        limits.readTimeout = 1;
        QVERIFY(server.start(m_site, QStringLiteral("style.css"), 0, limits));
        const QByteArray request = get(server.port(), '/' + server.token().toLatin1() + "/style.css");

        // The flood comes from a process of its own, as from other programs: sharing
        // nothing with this one (no allocator, no kernel lock of its memory), only the
        // server's threads and this thread, the one that owns the server as the window
        // does, stand in this process; this thread only measures the gap between ticks
        // of a 5 ms timer: the longest time its event loop was held up.
        constexpr int Clients = 1000;
        auto *flood = static_cast<Flood *>(
            ::mmap(nullptr, sizeof(Flood), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        QVERIFY(flood != MAP_FAILED);
        const auto unmap = qScopeGuard([flood] { ::munmap(flood, sizeof(Flood)); });
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            sendFlood(server.port(), request, *flood);
            // Straight to the system: a sanitizer's _exit would look for leaks in a fork
            // of a threaded process and never end.
            ::syscall(SYS_exit_group, 0);
        }
        // A gap counts what held the thread up, less the time the system kept it waiting
        // for a processor (the machine is shared: a runnable thread may wait there
        // longer than 50 ms with nothing of the program's holding it).
        QElapsedTimer sinceTick;
        qint64 longestGap = 0, longestHeld = 0;
        QTimer ticker;
        ticker.setInterval(5);
        qint64 queued = runQueueWaitMs();
        connect(&ticker, &QTimer::timeout, this, [&] {
            const qint64 gap = sinceTick.restart();
            const qint64 now = runQueueWaitMs();
            longestGap = std::max(longestGap, gap);
            longestHeld = std::max(longestHeld, gap - (now - queued));
            queued = now;
        });
        sinceTick.start();
        ticker.start();
        int status = 0;
        // Asked once more after it has ended: the flood is reaped only once.
        bool ended = false;
        QTRY_VERIFY_WITH_TIMEOUT(ended || (ended = ::waitpid(child, &status, WNOHANG) == child), 60000);
        ticker.stop();
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const qsizetype waiting = flood->waiting;

        int answered = 0, refused = 0, silentAnswered = 0;
        for (int i = 0; i < Clients; ++i) {
            const Reply reply = parse(QByteArray(flood->clients[i].bytes, flood->clients[i].length));
            if (reply.status == 200) {
                QCOMPARE(reply.body, QByteArray("p { color: red }"));
                ++answered;
                if (i % 10 == 0)
                    ++silentAnswered;
            } else {
                QCOMPARE(reply.status, 0); // a silent client is let go without an answer
                ++refused;
            }
        }
        qInfo("1000 connections: %d answered, %d let go or refused (%lld of them still waiting after 20 s); "
              "at most %d held at once; event loop held up at most %lld ms (longest gap between ticks "
              "%lld ms, waits for a processor included)",
              answered, refused, qlonglong(waiting), server.peakConnections(), longestHeld, longestGap);
        QCOMPARE(silentAnswered, 0);
        QVERIFY(answered > 0);
        QVERIFY(server.peakConnections() <= limits.connections);
        QVERIFY(server.peakConnections() > 1);
        QVERIFY2(longestHeld <= 50, QByteArray::number(longestHeld).constData());
        // Still serving afterwards.
        QCOMPARE(exchange(server.port(), request).status, 200);
    }

    void pushesTheSheetToEveryStreamWithinItsBound()
    {
        PreviewServer server;
        PreviewLimits limits;
        limits.streams = 3;
        QVERIFY(server.start(m_site, QStringLiteral("style.css"), 0, limits));
        QSignalSpy streams(&server, &PreviewServer::streamsChanged);
        server.publishSheet(QStringLiteral("p {\r\n  color: \"x\\y\";\r\n}"));
        const QByteArray request =
            get(server.port(), '/' + server.token().toLatin1() + "/__loomwright/events");
        std::vector<std::unique_ptr<QTcpSocket>> pages;
        for (int i = 0; i < 4; ++i) {
            pages.push_back(std::make_unique<QTcpSocket>());
            pages.back()->connectToHost(QStringLiteral("127.0.0.1"), server.port());
            QVERIFY(pages.back()->waitForConnected(5000));
            pages.back()->write(request);
            QVERIFY(pages.back()->waitForBytesWritten(5000));
            QTRY_COMPARE(server.openStreams(), std::min(i + 1, 3));
        }
        // The fourth is over the bound: 503, and the three hold on.
        QTRY_VERIFY(pages[3]->bytesAvailable() > 0 || pages[3]->state() != QAbstractSocket::ConnectedState);
        QTRY_VERIFY(pages[3]->state() == QAbstractSocket::UnconnectedState);
        QVERIFY(pages[3]->readAll().startsWith("HTTP/1.1 503"));
        QCOMPARE(server.openStreams(), 3);
        QTRY_VERIFY(streams.size() >= 3);

        // Each page gets the text as it was, then each new one.
        const QByteArray first = "data: {\"text\":\"p {\\r\\n  color: \\\"x\\\\y\\\";\\r\\n}\"}";
        QByteArray got[3];
        for (int i = 0; i < 3; ++i) {
            QTRY_VERIFY((got[i] += pages[size_t(i)]->readAll()).contains(first));
            QVERIFY(got[i].contains("Content-Type: text/event-stream"));
        }
        QElapsedTimer clock;
        clock.start();
        server.publishSheet(QStringLiteral("p { color: blue }"));
        for (int i = 0; i < 3; ++i)
            QTRY_VERIFY((got[i] += pages[size_t(i)]->readAll())
                            .contains("event: sheet\ndata: {\"text\":\"p { color: blue }\"}\n\n"));
        QVERIFY2(clock.elapsed() < 100, QByteArray::number(clock.elapsed()).constData());
        // Every character reaches the page as it was: controls escaped, the rest as UTF-8.
        const QString every =
            QStringLiteral("a::after { content: \"\t\u0001\u001f\u007f \u00e9 \u2028 \\\" }") +
            QString::fromUcs4(U"\U0001F600");
        server.publishSheet(every);
        const QByteArray last = "\xf0\x9f\x98\x80\"}\n\n";
        QTRY_VERIFY((got[1] += pages[1]->readAll()).contains(last));
        const qsizetype end = got[1].indexOf(last) + last.size() - 2;
        const qsizetype start = got[1].lastIndexOf("data: ", end) + 6;
        const QByteArray line = got[1].mid(start, end - start);
        QCOMPARE(QJsonDocument::fromJson(line).object().value(QStringLiteral("text")).toString(), every);

        // A page that goes away frees its stream.
        pages[0]->abort();
        QTRY_COMPARE_WITH_TIMEOUT(server.openStreams(), 2, 10000);

        // Stopping ends the streams and closes the port at once.
        clock.restart();
        const quint16 port = server.port();
        server.stop();
        QVERIFY2(clock.elapsed() < 3000, QByteArray::number(clock.elapsed()).constData());
        QTRY_VERIFY(pages[1]->state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(exchange(port, request).status, 0);
    }

    void refusesAFolderThatIsNone()
    {
        PreviewServer server;
        QVERIFY(!server.start(m_dir.filePath(QStringLiteral("missing")), QStringLiteral("a.css")));
        QVERIFY(server.errorString().contains(QLatin1String("missing")));
        QVERIFY(!server.isRunning());
    }
};

LW_TEST_CLASS(TestPreviewServer)
#include "TestPreviewServer.moc"
