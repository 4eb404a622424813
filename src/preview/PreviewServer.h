#pragma once

#include <QObject>
#include <QString>
#include <memory>

// Serves one folder to the user's own browser, on 127.0.0.1 only, and pushes the style
// sheet's text to every page it served so that the page shows each edit without a
// reload.
//
// Every URL starts with a random token made at start (/TOKEN/page.html); a request
// without it, or with another, is 403. Only GET and HEAD are answered (other methods
// 405), only regular files inside the folder are served (a path with `..`, encoded or
// not, or a symbolic link leading out of the folder is 404; a folder is 404: there are
// no listings). Served HTML pages get the live script put in before their </body>.
//
// The server runs on threads of its own: nothing it does waits on the thread that
// owns it, and publishSheet() only hands the text over. It holds at most
// PreviewLimits::connections connections at once; more wait in the system's queue until one
// ends. Each page's stream of sheets holds one of them, and at most PreviewLimits::streams
// streams are open at once (more are 503), so that files can always be served.
//
// Under /TOKEN/__loomwright/ (a name no folder of the user's is expected to have) are
// the server's own resources: events (the stream), live.js, sample.html (the built-in
// page) and inspect (what a page reports in Inspect mode). The sample page is also
// /TOKEN/__loomwright-sample.html, the URL the server gives for it: at the top of the
// folder, so that relative url()s in a sheet shown on it resolve beside the sheet.
struct PreviewLimits
{
    int connections = 24;
    int streams = 16;
    // Seconds a connection may take to send its request.
    int readTimeout = 2;
};

class PreviewServer : public QObject
{
    Q_OBJECT
public:
    explicit PreviewServer(QObject *parent = nullptr);
    ~PreviewServer() override;

    // Starts serving `folder` on 127.0.0.1:`port` (0: a free port the system picks);
    // `sheetFileName` is the file name of the edited sheet, the one whose <link> the
    // pages swap. False, with errorString(), when the folder is no folder or the port
    // cannot be had. A running server is stopped first.
    bool start(const QString &folder, const QString &sheetFileName, quint16 port = 0,
               const PreviewLimits &limits = PreviewLimits());
    // Closes the listening socket, ends every stream and waits for the server's threads
    // (at most about PreviewLimits::readTimeout for a client in the middle of its request).
    void stop();
    bool isRunning() const;
    QString errorString() const;

    quint16 port() const;
    QString token() const;
    // http://127.0.0.1:PORT/TOKEN/
    QString baseUrl() const;
    // The URL of a file given by its path relative to the folder (each part encoded).
    QString urlFor(const QString &relativePath) const;
    // The URL of the built-in sample page (at the top of the folder).
    QString sampleUrl() const;

    // The sheet's new text, sent to every open page and to each page that opens later.
    // Safe from any thread; returns at once.
    void publishSheet(const QString &text);
    // Asks the pages to outline the elements a selector matches (empty: none). The
    // selector is the rule's full selector as a browser reads it.
    void publishOutline(const QString &selector);
    // Turns Inspect mode on or off in every page.
    void publishInspect(bool on);

    // Figures for the tests and the status line.
    int openStreams() const;
    int peakConnections() const;

signals:
    // A page in Inspect mode reported a click: the JSON object the page sent (see
    // live.js: the element and the matched rules, in cascade order). Emitted on the
    // thread the server belongs to.
    void inspected(const QByteArray &report);
    // The number of open page streams changed.
    void streamsChanged(int count);

private:
    struct Private;
    std::shared_ptr<Private> d;
    QString m_error;
};
