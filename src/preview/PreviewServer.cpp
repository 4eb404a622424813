#include "PreviewServer.h"

#include "PreviewHttp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrl>

namespace {

QByteArray makeToken()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

// The HTTP module's maker, loaded once and kept for the rest of the run; null with the
// reason when the module cannot be loaded.
PreviewHttpMaker httpMaker(QString &error)
{
    static QString loadError;
    static const PreviewHttpMaker maker = [] {
        QLibrary module(QDir(QCoreApplication::applicationDirPath())
                            .filePath(QString::fromLatin1(PreviewHttp::ModuleName)));
        const auto found = reinterpret_cast<PreviewHttpMaker>(module.resolve(PreviewHttp::MakerName));
        if (!found)
            loadError = module.errorString();
        return found;
    }();
    error = loadError;
    return maker;
}

} // namespace

struct PreviewServer::Private
{
    std::unique_ptr<PreviewHttp> http;
    std::string token;
    quint16 port = 0;
};

PreviewServer::PreviewServer(QObject *parent) : QObject(parent) {}

PreviewServer::~PreviewServer()
{
    stop();
}

bool PreviewServer::start(const QString &folder, const QString &sheetFileName, quint16 port,
                          const PreviewLimits &limits)
{
    stop();
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir()) {
        m_error = tr("%1 is not a folder").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QString loadError;
    const PreviewHttpMaker maker = httpMaker(loadError);
    if (!maker) {
        m_error = tr("The preview's server cannot be loaded: %1").arg(loadError);
        return false;
    }
    auto started = std::make_shared<Private>();
    started->http.reset(maker());
    started->token = makeToken().toStdString();

    // The server's threads tell of streams and reports through this object's thread.
    QPointer<PreviewServer> self = this;
    PreviewHttp::Events events;
    events.streamsChanged = [self](int count) {
        if (self)
            QMetaObject::invokeMethod(
                self, [self, count] { emit self->streamsChanged(count); }, Qt::QueuedConnection);
    };
    events.inspected = [self](const QByteArray &report) {
        if (self)
            QMetaObject::invokeMethod(
                self, [self, report] { emit self->inspected(report); }, Qt::QueuedConnection);
    };
    started->port = started->http->start(root == QLatin1String("/") ? QString() : root, sheetFileName,
                                         started->token, port, limits, std::move(events));
    if (started->port == 0) {
        m_error = tr("The preview cannot listen on port %1 of 127.0.0.1").arg(port);
        return false;
    }
    d = std::move(started);
    m_error.clear();
    return true;
}

void PreviewServer::stop()
{
    // Ends every stream and waits for the server's threads.
    d.reset();
}

bool PreviewServer::isRunning() const
{
    return bool(d);
}

QString PreviewServer::errorString() const
{
    return m_error;
}

quint16 PreviewServer::port() const
{
    return d ? d->port : 0;
}

QString PreviewServer::token() const
{
    return d ? QString::fromStdString(d->token) : QString();
}

QString PreviewServer::baseUrl() const
{
    if (!d)
        return QString();
    return QStringLiteral("http://127.0.0.1:%1/%2/").arg(d->port).arg(QString::fromStdString(d->token));
}

QString PreviewServer::urlFor(const QString &relativePath) const
{
    QStringList parts = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QString &part : parts)
        part = QString::fromLatin1(QUrl::toPercentEncoding(part));
    return baseUrl() + parts.join(QLatin1Char('/'));
}

QString PreviewServer::sampleUrl() const
{
    return baseUrl() + QLatin1String(PreviewHttp::SamplePage);
}

void PreviewServer::publishSheet(const QString &text)
{
    if (d)
        d->http->publishSheet(text);
}

void PreviewServer::publishOutline(const QString &selector)
{
    if (d)
        d->http->publishOutline(selector);
}

void PreviewServer::publishInspect(bool on)
{
    if (d)
        d->http->publishInspect(on);
}

int PreviewServer::openStreams() const
{
    return d ? d->http->openStreams() : 0;
}

int PreviewServer::peakConnections() const
{
    return d ? d->http->peakConnections() : 0;
}
