// The live preview's side of an edit, on the real style sheet (bootstrap.css and
// bulma.css repeated) of about 1 MB and of 10 MB:
//   BM_EditToPush      an undoable edit of a value, the document written as standard CSS
//                      and handed to the preview server (the event's JSON made): what
//                      the window's thread does for each change it sends;
//   BM_EditToReceived  the same, until a client of the server's page stream (a socket
//                      read on a thread of its own, as a browser would) has received the
//                      whole event.
#include "Catalogue.h"
#include "Document.h"
#include "DocumentEdits.h"
#include "PreviewServer.h"
#include "StandardWriter.h"
#include "StyleSheetGenerator.h"
#include "StyleSheetReader.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Sheet
{
    explicit Sheet(qint64 bytes)
    {
        catalogue.open(QCoreApplication::applicationDirPath());
        const QByteArray file = StyleSheetGenerator::realStyleSheet(bytes);
        size = file.size();
        readOk =
            !file.isEmpty() && StyleSheetReader::readText(document, catalogue, TextFile::decode(file).text);
        // A declaration in the middle of the sheet, the one each edit changes.
        StyleSheetModel &model = document.elements();
        for (int i = model.elementCount() / 2; readOk && i < model.elementCount(); ++i) {
            const ElementNode &node = model.element(i);
            if (node.kind == NodeKind::Rule && !node.attributes.empty()) {
                declaration = model.attributeIndex(&node, 0);
                break;
            }
        }
    }
    Catalogue catalogue;
    Document document;
    QPersistentModelIndex declaration;
    qint64 size = 0;
    bool readOk = false;
};

Sheet &sheet(qint64 bytes)
{
    static Sheet small(1000000);
    static Sheet large(10000000);
    return bytes <= 1000000 ? small : large;
}

// One edit: the value alternates, so that every edit changes the text.
bool edit(Sheet &s, int round)
{
    return DocumentEdits::writeValue(s.document, s.declaration,
                                     round % 2 ? QStringLiteral("#123456") : QStringLiteral("#654321"));
}

void BM_EditToPush(benchmark::State &state)
{
    Sheet &s = sheet(state.range(0));
    if (!s.readOk || !s.declaration.isValid()) {
        state.SkipWithError("the real style sheet cannot be read");
        return;
    }
    QTemporaryDir folder;
    PreviewServer server;
    if (!server.start(folder.path(), QStringLiteral("sheet.css"))) {
        state.SkipWithError("the server does not start");
        return;
    }
    int round = 0;
    qint64 size = 0;
    // The three steps' shares, in ms an edit.
    qint64 editNs = 0, textNs = 0, pushNs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        if (!edit(s, ++round))
            state.SkipWithError("the edit failed");
        editNs += clock.nsecsElapsed();
        clock.start();
        const QString text = StandardWriter::text(s.document.elements());
        textNs += clock.nsecsElapsed();
        size = text.size();
        clock.start();
        server.publishSheet(text);
        pushNs += clock.nsecsElapsed();
    }
    const double edits = double(std::max<int64_t>(1, int64_t(state.iterations())));
    state.counters["editMs"] = double(editNs) / 1e6 / edits;
    state.counters["textMs"] = double(textNs) / 1e6 / edits;
    state.counters["pushMs"] = double(pushNs) / 1e6 / edits;
    state.counters["sheetMB"] = double(s.size) / 1e6;
    state.counters["pushedMB"] = double(size) / 1e6;
}

// Reads the page stream of a server on a plain socket until `stop`; counts each
// complete event (an empty line ends one).
class StreamReader
{
public:
    explicit StreamReader(const PreviewServer &server)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = ::connect(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        const std::string request =
            "GET /" + server.token().toStdString() +
            "/__loomwright/events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n\r\n";
        m_ok = m_ok && ::send(m_socket, request.data(), request.size(), 0) == ssize_t(request.size());
        m_thread = std::thread([this] { read(); });
    }
    ~StreamReader()
    {
        ::shutdown(m_socket, SHUT_RDWR);
        m_thread.join();
        ::close(m_socket);
    }
    bool ok() const { return m_ok; }
    // Waits until `count` sheet events have come whole; false after 30 s.
    bool waitFor(int count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [&] { return m_sheets >= count; });
    }

private:
    void read()
    {
        std::string buffer;
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::recv(m_socket, chunk, sizeof chunk, 0);
            if (got <= 0)
                return;
            buffer.append(chunk, size_t(got));
            size_t end;
            while ((end = buffer.find("\n\n")) != std::string::npos) {
                const bool sheetEvent = buffer.find("event: sheet") < end;
                buffer.erase(0, end + 2);
                if (sheetEvent) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    ++m_sheets;
                    m_changed.notify_all();
                }
            }
        }
    }

    int m_socket = -1;
    bool m_ok = false;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_sheets = 0;
};

void BM_EditToReceived(benchmark::State &state)
{
    Sheet &s = sheet(state.range(0));
    if (!s.readOk || !s.declaration.isValid()) {
        state.SkipWithError("the real style sheet cannot be read");
        return;
    }
    QTemporaryDir folder;
    PreviewServer server;
    if (!server.start(folder.path(), QStringLiteral("sheet.css"))) {
        state.SkipWithError("the server does not start");
        return;
    }
    server.publishSheet(StandardWriter::text(s.document.elements()));
    StreamReader reader(server);
    if (!reader.ok() || !reader.waitFor(1)) {
        state.SkipWithError("the stream does not answer");
        return;
    }
    int round = 0;
    for (auto _ : state) {
        if (!edit(s, ++round))
            state.SkipWithError("the edit failed");
        server.publishSheet(StandardWriter::text(s.document.elements()));
        if (!reader.waitFor(round + 1)) {
            state.SkipWithError("the text did not arrive");
            break;
        }
    }
    state.counters["sheetMB"] = double(s.size) / 1e6;
}

BENCHMARK(BM_EditToPush)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditToReceived)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
