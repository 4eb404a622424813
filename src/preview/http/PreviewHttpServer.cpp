#include "PreviewAssets.h"
#include "PreviewHttp.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <fcntl.h>
#include <httplib.h>
#include <map>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The folder the server's own resources stand in, under the token.
const std::string OwnFolder = "__loomwright/";
// The built-in sample page's name at the top of the folder.
const std::string SamplePage = PreviewHttp::SamplePage;

// Pages larger than this are served as they are, without the live script: the script
// is put in by reading the whole page.
constexpr qint64 LargestInjectedPage = qint64(16) << 20;

// Runs the connections the server accepts on a fixed number of threads, one
// connection a thread. While every thread is busy, the accepting thread waits here,
// so that further connections wait in the system's queue and the server never holds
// more than `workers` of them.
class BoundedPool : public httplib::TaskQueue
{
public:
    BoundedPool(int workers, std::atomic<int> &peak) : m_limit(workers), m_peak(peak)
    {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_slotFree.wait(lock, [this] { return m_busy < m_limit || m_closing; });
        ++m_busy;
        int peak = m_peak.load();
        while (m_busy > peak && !m_peak.compare_exchange_weak(peak, m_busy)) {
        }
        m_jobs.push_back(std::move(fn));
        m_jobReady.notify_one();
    }

    // Lets a waiting enqueue() go on: the server is stopping and its accepting loop
    // must end.
    void close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_slotFree.notify_all();
    }

    void shutdown() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
            m_shutdown = true;
        }
        m_slotFree.notify_all();
        m_jobReady.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_jobReady.wait(lock, [this] { return !m_jobs.empty() || m_shutdown; });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_busy;
            m_slotFree.notify_one();
        }
    }

    const int m_limit;
    std::atomic<int> &m_peak;
    std::mutex m_mutex;
    std::condition_variable m_slotFree;
    std::condition_variable m_jobReady;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    int m_busy = 0;
    bool m_closing = false;
    bool m_shutdown = false;
};

// Compares in a time that does not depend on where the texts differ.
bool sameSecret(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string contentType(const QString &path)
{
    static const QHash<QString, const char *> types = {
        {QStringLiteral("html"), "text/html"},
        {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("xhtml"), "application/xhtml+xml"},
        {QStringLiteral("css"), "text/css"},
        {QStringLiteral("js"), "text/javascript"},
        {QStringLiteral("mjs"), "text/javascript"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("map"), "application/json"},
        {QStringLiteral("txt"), "text/plain"},
        {QStringLiteral("xml"), "application/xml"},
        {QStringLiteral("svg"), "image/svg+xml"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("gif"), "image/gif"},
        {QStringLiteral("webp"), "image/webp"},
        {QStringLiteral("avif"), "image/avif"},
        {QStringLiteral("ico"), "image/x-icon"},
        {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("woff"), "font/woff"},
        {QStringLiteral("woff2"), "font/woff2"},
        {QStringLiteral("ttf"), "font/ttf"},
        {QStringLiteral("otf"), "font/otf"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("webm"), "video/webm"},
        {QStringLiteral("ogv"), "video/ogg"},
        {QStringLiteral("ogg"), "audio/ogg"},
        {QStringLiteral("mp3"), "audio/mpeg"},
        {QStringLiteral("wav"), "audio/wav"},
        {QStringLiteral("vtt"), "text/vtt"},
        {QStringLiteral("pdf"), "application/pdf"},
        {QStringLiteral("wasm"), "application/wasm"},
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    return types.value(suffix, "application/octet-stream");
}

bool isHtml(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("html") || suffix == QLatin1String("htm");
}

// One Server-Sent Event; the data is JSON on one line, so it needs no splitting.
std::string sseEvent(const char *name, const QJsonObject &data)
{
    std::string text = "event: ";
    text += name;
    text += "\ndata: ";
    text += QJsonDocument(data).toJson(QJsonDocument::Compact).toStdString();
    text += "\n\n";
    return text;
}

// The sheet's event, {"text": TEXT} written in one pass: Qt's JSON writer takes a time
// that grows much faster than the text (half a second for 10 MB), this one a time in
// proportion to it.
std::string sheetEventOf(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    out.reserve(size_t(utf8.size()) + size_t(utf8.size()) / 16 + 64);
    out += "event: sheet\ndata: {\"text\":\"";
    const char *const end = utf8.constData() + utf8.size();
    const char *run = utf8.constData();
    for (const char *at = run; at < end; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, size_t(at - run));
        run = at + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            static const char hex[] = "0123456789abcdef";
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.append(escaped, sizeof escaped);
        }
        }
    }
    out.append(run, size_t(end - run));
    out += "\"}\n\n";
    return out;
}

void refuse(httplib::Response &res, int status)
{
    res.status = status;
    const char *reason = status == 400   ? "Bad Request"
                         : status == 403 ? "Forbidden"
                         : status == 404 ? "Not Found"
                         : status == 405 ? "Method Not Allowed"
                                         : "Service Unavailable";
    res.set_content(std::string(reason) + "\n", "text/plain");
}

} // namespace

// The server: the folder it serves, the last event of each kind, and the threads that
// answer the pages.
class HttpServer final : public PreviewHttp
{
public:
    ~HttpServer() override;
    quint16 start(const QString &root, const QString &sheetName, const std::string &token, quint16 port,
                  const PreviewLimits &limits, Events events) override;
    void publishSheet(const QString &text) override;
    void publishOutline(const QString &selector) override;
    void publishInspect(bool on) override;
    int openStreams() const override { return streams.load(); }
    int peakConnections() const override { return peak.load(); }

    Events events;
    httplib::Server server;
    std::thread thread;
    PreviewLimits limits;
    QString root; // canonical
    QString sheetName;
    std::string token;
    quint16 port = 0;

    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    BoundedPool *pool = nullptr;
    // The last of each kind of event, with a number that grows at each new one: a
    // stream sends those whose number it has not sent yet.
    quint64 sheetVersion = 0;
    std::string sheetEvent;
    quint64 outlineVersion = 0;
    std::string outlineEvent;
    quint64 inspectVersion = 0;
    std::string inspectEvent;

    std::atomic<int> streams{0};
    std::atomic<int> peak{0};

    void emitStreams()
    {
        if (events.streamsChanged)
            events.streamsChanged(streams.load());
    }

    // The part of the path after /TOKEN/, or nothing for a request without the token.
    std::optional<std::string> underToken(const std::string &path) const
    {
        const size_t prefix = token.size() + 2;
        if (path.size() < prefix || path[0] != '/' || path[prefix - 1] != '/' ||
            !sameSecret(std::string_view(path).substr(1, token.size()), token))
            return std::nullopt;
        return path.substr(prefix);
    }

    bool hostAllowed(const httplib::Request &req) const
    {
        // Pages of other sites that reach 127.0.0.1 through a name of their own carry
        // that name: only the loopback names are answered.
        const std::string host = req.get_header_value("Host");
        const size_t colon = host.rfind(':');
        if (colon == std::string::npos ||
            host.compare(colon + 1, std::string::npos, std::to_string(port)) != 0)
            return false;
        const std::string_view name = std::string_view(host).substr(0, colon);
        return name == "127.0.0.1" || name == "localhost";
    }

    // Parts of reports from pages in Inspect mode, by the id the page gave them.
    struct Report
    {
        int count = 0;
        std::vector<std::string> parts;
        int received = 0;
    };
    std::map<std::string, Report> reports;
    void takeReportPart(const httplib::Request &req, httplib::Response &res);

    void serveOwn(const std::string &name, const httplib::Request &req, httplib::Response &res);
    void serveFile(const std::string &relative, httplib::Response &res);
    void serveStream(httplib::Response &res);
    std::string liveTag() const;
};

std::string HttpServer::liveTag() const
{
    const QString sheet = sheetName.toHtmlEscaped();
    return "<script src=\"/" + token + "/" + OwnFolder + "live.js\" data-lw-base=\"/" + token + "/" +
           OwnFolder + "\" data-lw-sheet=\"" + sheet.toStdString() + "\"></script>";
}

void HttpServer::serveOwn(const std::string &name, const httplib::Request &req, httplib::Response &res)
{
    if (name == "events") {
        serveStream(res);
    } else if (name == "live.js") {
        res.set_content(PreviewAssets::liveScript(), "text/javascript");
    } else if (name == "sample.html") {
        std::string page = PreviewAssets::samplePage();
        const size_t end = page.rfind("</body>");
        page.insert(end == std::string::npos ? page.size() : end, liveTag());
        res.set_content(page, "text/html; charset=utf-8");
    } else if (name == "inspect") {
        takeReportPart(req, res);
    } else {
        refuse(res, 404);
    }
}

// A page's report of a click in Inspect mode comes as GET requests carrying a part of
// its JSON each (the server answers no other method, and bounds the request line). The
// parts are put together here and the whole handed to the window, which reads it as
// data. Bounded: at most 8 reports in the making, 64 parts of 8 KB a report.
void HttpServer::takeReportPart(const httplib::Request &req, httplib::Response &res)
{
    constexpr int MostParts = 64;
    constexpr size_t MostReports = 8;
    const std::string id = req.get_param_value("id");
    const int part = std::atoi(req.get_param_value("part").c_str());
    const int count = std::atoi(req.get_param_value("of").c_str());
    if (id.empty() || id.size() > 64 || count < 1 || count > MostParts || part < 0 || part >= count ||
        !req.has_param("data")) {
        refuse(res, 400);
        return;
    }
    QByteArray whole;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = reports.find(id);
        if (found == reports.end()) {
            if (reports.size() >= MostReports)
                reports.erase(reports.begin());
            found = reports.emplace(id, Report{count, std::vector<std::string>(size_t(count)), 0}).first;
        }
        Report &report = found->second;
        if (report.count != count) {
            reports.erase(found);
            refuse(res, 400);
            return;
        }
        std::string &slot = report.parts[size_t(part)];
        if (slot.empty() && !req.get_param_value("data").empty())
            ++report.received;
        slot = req.get_param_value("data");
        if (report.received == report.count) {
            for (const std::string &piece : report.parts)
                whole += QByteArray::fromStdString(piece);
            reports.erase(found);
        }
    }
    res.status = 204;
    if (whole.isEmpty())
        return;
    const QJsonDocument parsed = QJsonDocument::fromJson(whole);
    if (!parsed.isObject())
        return;
    const QByteArray json = parsed.toJson(QJsonDocument::Compact);
    if (events.inspected)
        events.inspected(json);
}

void HttpServer::serveStream(httplib::Response &res)
{
    if (++streams > limits.streams) {
        --streams;
        refuse(res, 503);
        return;
    }
    emitStreams();
    struct Sent
    {
        quint64 sheet = 0, outline = 0, inspect = 0;
    };
    auto sent = std::make_shared<Sent>();
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, sent](size_t, httplib::DataSink &sink) {
            std::string out;
            {
                std::unique_lock<std::mutex> lock(mutex);
                // A comment every few seconds finds a page that went away (its write
                // fails) and frees its stream.
                changed.wait_for(lock, std::chrono::seconds(2), [&] {
                    return stopping || sheetVersion != sent->sheet || outlineVersion != sent->outline ||
                           inspectVersion != sent->inspect;
                });
                if (stopping)
                    return false;
                if (sheetVersion != sent->sheet)
                    out += sheetEvent;
                if (outlineVersion != sent->outline)
                    out += outlineEvent;
                if (inspectVersion != sent->inspect)
                    out += inspectEvent;
                sent->sheet = sheetVersion;
                sent->outline = outlineVersion;
                sent->inspect = inspectVersion;
            }
            if (out.empty())
                out = ":\n\n";
            return sink.write(out.data(), out.size());
        },
        [this](bool) {
            --streams;
            emitStreams();
        });
}

void HttpServer::serveFile(const std::string &relative, httplib::Response &res)
{
    QString path = QString::fromUtf8(relative.data(), qsizetype(relative.size()));
    // A path that names a folder stands for its index page; folders are never listed.
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        path += QLatin1String("index.html");
    if (path.contains(QChar(0)) || path.contains(QLatin1Char('\\')) || path.contains(QChar(0xFFFD))) {
        refuse(res, 404);
        return;
    }
    for (const QString &part : path.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
            refuse(res, 404);
            return;
        }
    }
    // Symbolic links are followed only while they stay inside the folder.
    const QString canonical = QFileInfo(root + QLatin1Char('/') + path).canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(root + QLatin1Char('/'))) {
        refuse(res, 404);
        return;
    }
    // Opened by its resolved name without following a link there, and checked to be a
    // regular file after opening: a folder, pipe or device is never read.
    const int fd =
        ::open(QFile::encodeName(canonical).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        refuse(res, 404);
        return;
    }
    auto file = std::shared_ptr<int>(new int(fd), [](int *f) {
        ::close(*f);
        delete f;
    });
    const qint64 size = info.st_size;
    res.set_header("Cache-Control", "no-store");
    if (isHtml(canonical) && size <= LargestInjectedPage) {
        std::string page(size_t(size), '\0');
        qint64 done = 0;
        while (done < size) {
            const ssize_t got = ::pread(*file, page.data() + done, size_t(size - done), done);
            if (got <= 0)
                break;
            done += got;
        }
        page.resize(size_t(done));
        std::string lower = page;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        size_t at = lower.rfind("</body>");
        if (at == std::string::npos)
            at = lower.rfind("</html>");
        page.insert(at == std::string::npos ? page.size() : at, liveTag());
        res.set_content(page, "text/html");
        return;
    }
    res.set_content_provider(
        size_t(size), contentType(canonical), [file](size_t offset, size_t length, httplib::DataSink &sink) {
            char buffer[1 << 16];
            const ssize_t got = ::pread(*file, buffer, std::min(length, sizeof buffer), off_t(offset));
            if (got <= 0)
                return false;
            return sink.write(buffer, size_t(got));
        });
}

HttpServer::~HttpServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        if (pool)
            pool->close();
    }
    changed.notify_all();
    server.stop();
    if (thread.joinable())
        thread.join();
}

quint16 HttpServer::start(const QString &folder, const QString &sheetFileName, const std::string &pathToken,
                          quint16 wantedPort, const PreviewLimits &wantedLimits, Events serverEvents)
{
    events = std::move(serverEvents);
    limits = wantedLimits;
    root = folder;
    sheetName = sheetFileName;
    token = pathToken;

    HttpServer *p = this;
    server.new_task_queue = [p] {
        auto *pool = new BoundedPool(p->limits.connections, p->peak);
        std::lock_guard<std::mutex> lock(p->mutex);
        p->pool = pool;
        if (p->stopping)
            pool->close();
        return pool;
    };
    server.set_read_timeout(limits.readTimeout, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(2);
    server.set_keep_alive_max_count(100);
    // Request bodies are never wanted; a large one is not read into memory.
    server.set_payload_max_length(4096);
    server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Cross-Origin-Resource-Policy", "same-origin"}});
    server.set_pre_routing_handler([p](const httplib::Request &req, httplib::Response &res) {
        if (!p->hostAllowed(req) || !p->underToken(req.path)) {
            refuse(res, 403);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            refuse(res, 405);
            res.set_header("Allow", "GET, HEAD");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get(".*", [p](const httplib::Request &req, httplib::Response &res) {
        const std::string relative = *p->underToken(req.path);
        // The sample page stands at the top of the served folder, beside the sheet, so
        // that the sheet's relative url()s (images, fonts) reach the files beside it.
        if (relative == SamplePage)
            p->serveOwn("sample.html", req, res);
        else if (relative.rfind(OwnFolder, 0) == 0)
            p->serveOwn(relative.substr(OwnFolder.size()), req, res);
        else
            p->serveFile(relative, res);
    });

    const int bound = wantedPort ? (server.bind_to_port("127.0.0.1", wantedPort) ? wantedPort : -1)
                                 : server.bind_to_any_port("127.0.0.1");
    if (bound <= 0)
        return 0;
    port = quint16(bound);
    // A page that goes away while a reply is written must not end the program: the
    // server's threads (all started from this one) take no SIGPIPE, the write fails.
    thread = std::thread([p] {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        p->server.listen_after_bind();
    });
    // Destruction can end only a server that is already listening.
    for (int waited = 0; !server.is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port;
}

void HttpServer::publishSheet(const QString &text)
{
    std::string message = sheetEventOf(text);
    {
        std::lock_guard<std::mutex> lock(mutex);
        sheetEvent = std::move(message);
        ++sheetVersion;
    }
    changed.notify_all();
}

void HttpServer::publishOutline(const QString &selector)
{
    std::string message = sseEvent("outline", QJsonObject{{QStringLiteral("selector"), selector}});
    {
        std::lock_guard<std::mutex> lock(mutex);
        outlineEvent = std::move(message);
        ++outlineVersion;
    }
    changed.notify_all();
}

void HttpServer::publishInspect(bool on)
{
    std::string message = sseEvent("inspect", QJsonObject{{QStringLiteral("on"), on}});
    {
        std::lock_guard<std::mutex> lock(mutex);
        inspectEvent = std::move(message);
        ++inspectVersion;
    }
    changed.notify_all();
}

extern "C" Q_DECL_EXPORT PreviewHttp *loomwrightPreviewHttp()
{
    return new HttpServer;
}
