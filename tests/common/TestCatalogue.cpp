#include "TestCatalogue.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <sqlite3.h>

namespace {

struct DbCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

QString execute(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return {};
    const QString text = QString::fromUtf8(error ? error : "unknown error");
    sqlite3_free(error);
    return text;
}

// Creates the file afresh and runs the schema; then inserts one row per pair.
QString fill(const QString &path, const char *schema, const char *insert,
             const QList<std::pair<QByteArray, QByteArray>> &rows, bool secondIsBlob)
{
    QFile::remove(path);
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open(path.toUtf8().constData(), &raw);
    Db db(raw);
    if (rc != SQLITE_OK)
        return QStringLiteral("cannot create %1").arg(path);
    if (QString error = execute(db.get(), schema); !error.isEmpty())
        return error;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), insert, -1, &stmt, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db.get()));
    QString error;
    for (const auto &[first, second] : rows) {
        sqlite3_reset(stmt);
        sqlite3_bind_text(stmt, 1, first.constData(), int(first.size()), SQLITE_TRANSIENT);
        if (secondIsBlob)
            sqlite3_bind_blob(stmt, 2, second.constData(), int(second.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_text(stmt, 2, second.constData(), int(second.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            error = QString::fromUtf8(sqlite3_errmsg(db.get()));
            break;
        }
    }
    sqlite3_finalize(stmt);
    return error;
}

} // namespace

QString TestCatalogue::write(const QString &folder, const QStringList &elements,
                             const QList<Attribute> &attributes)
{
    QList<std::pair<QByteArray, QByteArray>> tagRows;
    for (const QString &element : elements)
        tagRows.append({element.toUtf8(), "picture " + element.toUtf8()});
    QList<std::pair<QByteArray, QByteArray>> cssRows;
    for (const Attribute &attribute : attributes)
        cssRows.append({attribute.name.toUtf8(), attribute.values.toUtf8()});

    const QDir dir(folder);
    QString error = fill(dir.filePath(QStringLiteral("tags.db")),
                         "CREATE TABLE tags(Element TEXT NOT NULL, Image BLOB);"
                         "CREATE INDEX Element ON tags(Element COLLATE NOCASE);",
                         "INSERT INTO tags(Element, Image) VALUES(?, ?)", tagRows, true);
    if (error.isEmpty())
        error = fill(dir.filePath(QStringLiteral("css.db")),
                     "CREATE TABLE css(Attribute TEXT NOT NULL, \"Values\" TEXT NOT NULL DEFAULT '');",
                     "INSERT INTO css(Attribute, \"Values\") VALUES(?, ?)", cssRows, false);
    return error;
}

QString TestCatalogue::writeStandard(const QString &folder)
{
    // Inserted out of order on purpose: the index gives the row order.
    const QStringList elements = {
        QStringLiteral("TABLE"), QStringLiteral("BODY"),    QStringLiteral("!DOCTYPE"), QStringLiteral("A"),
        QStringLiteral("H2"),    QStringLiteral("#PCDATA"), QStringLiteral("Q"),        QStringLiteral("H1"),
        QStringLiteral("q"),     QStringLiteral("!--"),     QStringLiteral("P"),
    };
    const QList<Attribute> attributes = {
        {QStringLiteral("color"), QStringLiteral("<Color>")},
        {QStringLiteral("background-color"), QStringLiteral("<Color>")},
        {QStringLiteral("font-size"), QStringLiteral("<Number>")},
        {QStringLiteral("font-family"), QStringLiteral("<Font>")},
        {QStringLiteral("background-image"), QStringLiteral("<URL>")},
        {QStringLiteral("text-align"), QStringLiteral("left\ncenter\nright")},
        {QStringLiteral("border"), QStringLiteral("<Length>")},
        {QStringLiteral("content"), QString()},
    };
    return write(folder, elements, attributes);
}
