#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;

// One catalogue table file being built. It is written under a temporary name beside
// its final name and only takes the final name in commit(), so a build that fails
// half-way leaves the previous table (or none) in place, never a half-filled one.
class TableFile
{
public:
    explicit TableFile(const QString &finalPath);
    ~TableFile();
    TableFile(const TableFile &) = delete;
    TableFile &operator=(const TableFile &) = delete;

    // Runs SQL text without parameters (schema, index).
    void execute(const QString &sql);
    // Prepares an INSERT whose ? parameters insertRow() fills.
    void prepareInsert(const QString &sql);
    // Inserts one row; a QByteArray binds as a BLOB, anything else as TEXT.
    void insertRow(const QVariantList &values);
    // Finishes the file and moves it to its final name.
    void commit();

private:
    [[noreturn]] void fail(const QString &what) const;
    void close();

    QString m_finalPath;
    QString m_tempPath;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    bool m_committed = false;
};
