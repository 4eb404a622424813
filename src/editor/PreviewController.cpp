#include "PreviewController.h"

#include "Document.h"
#include "Failure.h"
#include "PreviewServer.h"
#include "RegistryKey.h"
#include "RegistryStore.h"
#include "StandardWriter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

namespace {

const QString PagesKey = QStringLiteral("\\Software\\Loomwright 99\\Preview Pages");

// The name a sheet's page is kept under: its full path, with the separators the
// settings file uses for keys made harmless.
QString settingName(const QString &sheetPath)
{
    QString name = QFileInfo(sheetPath).absoluteFilePath();
    return name.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

} // namespace

PreviewController::PreviewController(Document &document, QObject *parent)
    : QObject(parent), m_document(document), m_openBrowser([](const QString &url) {
          if (qEnvironmentVariableIntValue("LOOMWRIGHT_PREVIEW_NO_BROWSER") == 1) {
              const QByteArray line = "Preview: " + url.toUtf8() + '\n';
              std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
              std::fflush(stderr);
          } else {
              QDesktopServices::openUrl(QUrl(url));
          }
      })
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &PreviewController::publishNow);
    m_gap.setSingleShot(true);
    m_gap.setInterval(MinimumGap);
    connect(&m_gap, &QTimer::timeout, this, [this] {
        if (m_pending)
            publishNow();
    });
    StyleSheetModel *model = &m_document.elements();
    connect(&m_document.undoStack(), &QUndoStack::indexChanged, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::rowsMoved, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &PreviewController::documentChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &PreviewController::documentChanged);
}

PreviewController::~PreviewController()
{
    stop();
}

QString PreviewController::rememberedPage(const QString &sheetPath)
{
    try {
        RegistryStore registry;
        const RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, PagesKey);
        return key.readString(settingName(sheetPath));
    } catch (const Failure &) {
        return QString();
    }
}

bool PreviewController::preview()
{
    QString page;
    if (m_document.hasFile()) {
        page = rememberedPage(m_document.currentFileName());
        // A page that has gone since is replaced by the sample page.
        if (!page.isEmpty() && !QFileInfo(page).isFile())
            page.clear();
    }
    return start(page);
}

bool PreviewController::previewPage(const QString &page)
{
    if (m_document.hasFile()) {
        try {
            RegistryStore registry;
            RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, PagesKey);
            key.writeString(settingName(m_document.currentFileName()),
                            page.isEmpty() ? QString() : QFileInfo(page).absoluteFilePath());
        } catch (const Failure &) {
            // The choice holds for this run.
        }
    }
    return start(page);
}

bool PreviewController::start(const QString &page)
{
    const QString sheet =
        m_document.hasFile() ? QFileInfo(m_document.currentFileName()).absoluteFilePath() : QString();
    if (isRunning() && sheet == m_sheetPath && page == m_page) {
        m_openBrowser(m_url);
        return true;
    }
    stop();
    // The page's folder is served; without a page, the sheet's own folder (for the files
    // it names), and for a sheet not saved yet an empty folder of its own.
    QString folder;
    if (!page.isEmpty()) {
        folder = QFileInfo(page).absolutePath();
    } else if (!sheet.isEmpty()) {
        folder = QFileInfo(sheet).absolutePath();
    } else {
        m_emptyFolder = std::make_unique<QTemporaryDir>();
        folder = m_emptyFolder->path();
    }
    auto server = std::make_unique<PreviewServer>();
    const QString sheetName = sheet.isEmpty() ? QStringLiteral("style.css") : QFileInfo(sheet).fileName();
    if (!server->start(folder, sheetName)) {
        m_error = server->errorString();
        m_emptyFolder.reset();
        return false;
    }
    m_server = std::move(server);
    m_sheetPath = sheet;
    m_page = page;
    m_url = page.isEmpty() ? m_server->sampleUrl() : m_server->urlFor(QFileInfo(page).fileName());
    m_error.clear();
    connect(m_server.get(), &PreviewServer::inspected, this, &PreviewController::inspected);
    m_server->publishInspect(m_inspect);
    if (!m_outline.isEmpty())
        m_server->publishOutline(m_outline);
    publishNow();
    m_openBrowser(m_url);
    return true;
}

void PreviewController::stop()
{
    m_soon.stop();
    m_gap.stop();
    m_pending = false;
    m_server.reset();
    m_emptyFolder.reset();
    m_url.clear();
}

bool PreviewController::isRunning() const
{
    return m_server && m_server->isRunning();
}

void PreviewController::documentChanged()
{
    if (!isRunning())
        return;
    // An edit reports itself in several signals (rows, then data, then the undo
    // history): the text is written once it has ended.
    m_pending = true;
    if (!m_gap.isActive())
        m_soon.start();
}

void PreviewController::publishNow()
{
    if (!isRunning())
        return;
    m_pending = false;
    m_soon.stop();
    // Standard CSS whatever the document's form: it is what the browser reads.
    m_server->publishSheet(StandardWriter::text(m_document.elements()));
    m_gap.start();
}

void PreviewController::setInspect(bool on)
{
    m_inspect = on;
    if (isRunning())
        m_server->publishInspect(on);
}

void PreviewController::outline(const QString &selector)
{
    if (selector == m_outline)
        return;
    m_outline = selector;
    if (isRunning())
        m_server->publishOutline(selector);
}
