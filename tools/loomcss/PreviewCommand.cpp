#include "PreviewCommand.h"

#include "Document.h"
#include "Failure.h"
#include "PreviewServer.h"
#include "StandardWriter.h"
#include "StyleSheetReader.h"
#include "TextFile.h"
#include "UsageError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void print(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The sheet as the window would read it, in the text a browser takes: a standard sheet
// is its own text (what Save writes for it unedited), a sheet in the editor's own form
// is read whole and written as standard CSS. Empty with `reason` set when the reader
// refuses the file.
QString sheetText(const QString &path, Catalogue &catalogue, Document &document, QString &reason)
{
    StyleSheetReader::ReadError readError;
    try {
        const TextFile::Loaded loaded = TextFile::load(path, TextFile::LineBreaks::Keep);
        DocumentForm form = DocumentForm::Editor;
        if (StyleSheetReader::checkText(loaded.text, &readError, form)) {
            if (form == DocumentForm::Standard)
                return loaded.text;
            if (StyleSheetReader::readStyleSheet(document, catalogue, path, {}, &readError))
                return StandardWriter::text(document.elements());
        }
    } catch (const Failure &failure) {
        reason = path + QLatin1String(": ") + failure.message();
        return QString();
    }
    reason = readError.line > 0 ? QStringLiteral("%1:%2:%3: %4")
                                      .arg(path)
                                      .arg(readError.line)
                                      .arg(readError.column)
                                      .arg(readError.reason)
                                : path + QLatin1String(": ") + readError.reason;
    return QString();
}

// SIGINT and SIGTERM end the event loop through a socket pair: the handler only writes
// a byte, which is all a signal handler may safely do.
int signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

int runPreviewCommand(QStringList args, const char *usage, Catalogue &catalogue, Document &document)
{
    const auto wrong = [usage](const QString &problem) { return usageError(usage, problem); };
    if (args.isEmpty() || args[0].startsWith(QLatin1Char('-')))
        return wrong(QStringLiteral("preview takes its SHEET first"));
    const QString sheet = args.takeFirst();
    QString page;
    int port = 0;
    bool open = true;
    bool reportInspect = false;
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--page") && !args.isEmpty() && page.isEmpty()) {
            page = args.takeFirst();
        } else if (option == QLatin1String("--port") && !args.isEmpty() && port == 0) {
            bool number = false;
            port = args.takeFirst().toInt(&number);
            if (!number || port < 1 || port > 65535)
                return wrong(QStringLiteral("--port takes 1 to 65535"));
        } else if (option == QLatin1String("--no-open") && open) {
            open = false;
        } else if (option == QLatin1String("--inspect") && !reportInspect) {
            reportInspect = true;
        } else {
            return wrong(QStringLiteral("preview takes no %1, or takes it once").arg(option));
        }
    }
    // Taken from here on, before anything that takes time: a stop asked for while the
    // page is being prepared is not lost.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        print(stderr, QStringLiteral("loomcss: cannot wait for signals"));
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const QFileInfo sheetInfo(sheet);
    if (!sheetInfo.isFile()) {
        print(stderr, sheet + QLatin1String(": no such file"));
        return 1;
    }
    const QFileInfo pageInfo(page);
    if (!page.isEmpty() && !pageInfo.isFile()) {
        print(stderr, page + QLatin1String(": no such file"));
        return 1;
    }
    // Without a page the sheet's own folder is served, so that the files it names
    // (images, fonts) can be reached; the sample page comes from the server itself.
    const QString folder = page.isEmpty() ? sheetInfo.absolutePath() : pageInfo.absolutePath();

    PreviewServer server;
    if (!server.start(folder, sheetInfo.fileName(), quint16(port))) {
        print(stderr, server.errorString());
        return 1;
    }

    QString lastText;
    QString lastReason;
    bool pushedOnce = false;
    auto push = [&] {
        QString reason;
        const QString text = sheetText(sheet, catalogue, document, reason);
        if (!reason.isEmpty()) {
            // Told once per refusal, not at every notice of the same file.
            if (reason != lastReason)
                print(stderr, reason);
            lastReason = reason;
            return;
        }
        lastReason.clear();
        if (pushedOnce && text == lastText)
            return;
        lastText = text;
        pushedOnce = true;
        server.publishSheet(text);
    };
    push();

    const QString url = page.isEmpty() ? server.sampleUrl() : server.urlFor(pageInfo.fileName());
    print(stdout, url);
    if (open && !QProcess::startDetached(QStringLiteral("xdg-open"), {url}))
        print(stderr, QStringLiteral("The browser could not be opened: open %1 in it").arg(url));

    // The file and its folder are watched: an editor that saves by writing a new file
    // and renaming it over the old one leaves the watch on the old file, and only the
    // folder's notice tells of the new one. Notices come in bursts while a file is
    // written; the read waits until they have been quiet for a moment.
    QFileSystemWatcher watcher;
    const QString watched = sheetInfo.absoluteFilePath();
    watcher.addPath(watched);
    watcher.addPath(sheetInfo.absolutePath());
    QTimer settle;
    settle.setSingleShot(true);
    settle.setInterval(10);
    QObject::connect(&settle, &QTimer::timeout, [&] {
        if (!watcher.files().contains(watched) && QFileInfo::exists(watched))
            watcher.addPath(watched);
        if (QFileInfo::exists(watched))
            push();
    });
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &settle, qOverload<>(&QTimer::start));
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &settle, qOverload<>(&QTimer::start));

    // A click in a page in Inspect mode: the element and its matched rules of the sheet,
    // in cascade order, as the page's browser found them; one line of JSON each.
    if (reportInspect)
        QObject::connect(&server, &PreviewServer::inspected,
                         [](const QByteArray &report) { print(stdout, QString::fromUtf8(report)); });

    QSocketNotifier stopNotice(signalSockets[1], QSocketNotifier::Read);
    QObject::connect(&stopNotice, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    server.stop();
    return 0;
}
