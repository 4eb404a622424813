#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class Document;
class PreviewServer;
class QTemporaryDir;

// The window's live preview: serves the page chosen for the style sheet (or the built-in
// sample page) to the user's own browser and sends the document's text, as standard
// CSS, to every open page at each change of the document (an undoable edit, an undo or
// redo, the code window's text read back, a file read). Changes that come close together
// are sent together: at most one text every MinimumGap milliseconds, the first as soon
// as the change under way has ended (when the window's thread is next free).
// The server runs on threads of its own; the window's thread only writes the text and
// hands it over. The page chosen for each style sheet is kept in the settings, by the
// sheet's full path. Everything stops with the controller (the window).
class PreviewController : public QObject
{
    Q_OBJECT
public:
    static constexpr int MinimumGap = 30;

    PreviewController(Document &document, QObject *parent = nullptr);
    ~PreviewController() override;

    // Starts the preview of the document's page (or shows it again when it runs): the
    // page remembered for the document's file, or the sample page. False, with
    // errorString(), when the server cannot start.
    bool preview();
    // Makes `page` (an HTML file; empty: the sample page) the document's page, remembered
    // for its file, and previews it.
    bool previewPage(const QString &page);
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    // The page remembered for a style sheet's file; empty for the sample page.
    static QString rememberedPage(const QString &sheetPath);

    // The URL the browser was last sent to.
    QString url() const { return m_url; }
    PreviewServer *server() const { return m_server.get(); }
    // How the browser is opened; the desktop's way by default, or, with the environment's
    // LOOMWRIGHT_PREVIEW_NO_BROWSER=1 (tests, a browser driven from outside), a line
    // "Preview: URL" on standard error. Tests replace it.
    void setBrowserOpener(std::function<void(const QString &url)> opener)
    {
        m_openBrowser = std::move(opener);
    }

    // Sends the document's text now, without waiting.
    void publishNow();

    // Inspect mode in every page of the preview (kept for pages opened later and for a
    // preview started later): a click in a page then reports the element's matched
    // rules (inspected()).
    void setInspect(bool on);
    bool inspecting() const { return m_inspect; }
    // Outlines in the pages the elements a selector matches (empty: none).
    void outline(const QString &selector);

signals:
    // A page in Inspect mode reported a click (the page's JSON, see MatchedRules).
    void inspected(const QByteArray &report);

private:
    void documentChanged();
    bool start(const QString &page);

    Document &m_document;
    std::unique_ptr<PreviewServer> m_server;
    std::unique_ptr<QTemporaryDir> m_emptyFolder;
    std::function<void(const QString &url)> m_openBrowser;
    QTimer m_soon;          // sends once the change under way has ended
    QTimer m_gap;           // runs for MinimumGap after each text sent
    bool m_pending = false; // a change not sent yet
    QString m_sheetPath;
    QString m_page;
    QString m_url;
    QString m_error;
    QString m_outline;
    bool m_inspect = false;
};
