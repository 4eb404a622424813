#include "EditorFixture.h"

#include "Catalogue.h"
#include "Messages.h"
#include "TMainForm.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sqlite3.h>

namespace {

QByteArray png(int size, QRgb colour)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class Database
{
public:
    explicit Database(const QString &path)
    {
        QFile::remove(path);
        if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
            qFatal("cannot create %s", qPrintable(path));
    }
    ~Database() { sqlite3_close(m_db); }

    void exec(const char *sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK)
            qFatal("%s: %s", sql, error);
    }

    void insert(const char *sql, const QByteArray &text, const QByteArray &blobOrText, bool blob)
    {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        if (blob)
            sqlite3_bind_blob(statement, 2, blobOrText.constData(), int(blobOrText.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_text(statement, 2, blobOrText.constData(), int(blobOrText.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(statement) != SQLITE_DONE)
            qFatal("insert failed: %s", sqlite3_errmsg(m_db));
        sqlite3_finalize(statement);
    }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace

void EditorFixture::writeCatalogue(const QString &folder)
{
    const QDir dir(folder);
    {
        Database tags(dir.filePath(QStringLiteral("tags.db")));
        tags.exec("CREATE TABLE tags(Element TEXT NOT NULL, Image BLOB)");
        tags.exec("CREATE INDEX Element ON tags(Element COLLATE NOCASE)");
        const std::pair<const char *, QByteArray> rows[] = {
            {"!--", png(16, 0xff0000ff)}, {"!DOCTYPE", png(16, 0xff00ff00)},
            {"*", png(16, 0xffff0000)},   {"A", png(16, 0xff112233)},
            {"B", QByteArray()},          {"BODY", png(20, 0xff445566)},
            {"H1", png(16, 0xff778899)},  {"P", png(16, 0xffaabbcc)},
        };
        for (const auto &[name, image] : rows)
            tags.insert("INSERT INTO tags(Element, Image) VALUES(?, ?)", name, image, true);
    }
    {
        Database css(dir.filePath(QStringLiteral("css.db")));
        css.exec("CREATE TABLE css(Attribute TEXT NOT NULL, \"Values\" TEXT NOT NULL DEFAULT '')");
        const std::pair<const char *, const char *> rows[] = {
            {"color", "<Color>"},          {"background-color", "<Color>"},
            {"font-size", "<Number>"},     {"font-family", "<Font>"},
            {"background-image", "<URL>"}, {"text-align", "left\ncenter\nright"},
            {"weird", "<Colour>"},         {"plain", ""},
        };
        for (const auto &[name, values] : rows)
            css.insert("INSERT INTO css(Attribute, \"Values\") VALUES(?, ?)", name, values, false);
    }
    {
        Database attributes(dir.filePath(QStringLiteral("attributes.db")));
        attributes.exec("CREATE TABLE attributes(Element TEXT, Attribute TEXT)");
    }
}

QString EditorFixture::catalogueFolder()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (Catalogue::tablesPresent(beside))
        return beside;
    static QTemporaryDir small;
    static bool written = false;
    if (!written) {
        writeCatalogue(small.path());
        written = true;
    }
    return small.path();
}

void EditorFixture::prepareApplication()
{
    QCoreApplication::setApplicationName(Messages::ApplicationTitle);
    QApplication::setQuitOnLastWindowClosed(false);
}

std::unique_ptr<TMainForm> EditorFixture::startMainWindow(const QString &commandLineFile)
{
    auto form = std::make_unique<TMainForm>();
    form->setCatalogueFolder(catalogueFolder());
    form->setPendingCommandLineFile(commandLineFile);
    if (!form->FormCreate())
        return nullptr;
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    // The first showing activates the window by itself.
    if (!QTest::qWaitFor([&form] { return form->document().hasPseudoClassNodes(); }))
        return nullptr;
    return form;
}

void EditorFixture::editDocument(TMainForm &form, const QString &declaration)
{
    StyleSheetModel &elements = form.document().elements();
    for (int i = 0; i < elements.elementCount(); ++i) {
        if (elements.element(i).label == QLatin1String("BODY")) {
            const QString name = declaration.section(QLatin1Char('='), 0, 0);
            elements.appendAttribute(i, declaration, form.catalogue().findAttributeKind(name));
            break;
        }
    }
    form.document().setModified(true);
}

void EditorFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray EditorFixture::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

EditorFixture::FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

EditorFixture::FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
}
