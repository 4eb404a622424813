#include "TableFile.h"

#include <QFile>
#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>

TableFile::TableFile(const QString &finalPath)
    : m_finalPath(finalPath), m_tempPath(finalPath + QStringLiteral(".part"))
{
    QFile::remove(m_tempPath);
    const QByteArray path = QFile::encodeName(m_tempPath);
    try {
        if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
        // The file is built in one transaction; a journal is of no use for a file that
        // is thrown away on failure.
        execute(QStringLiteral("PRAGMA journal_mode=OFF"));
        execute(QStringLiteral("BEGIN"));
    } catch (...) {
        close();
        QFile::remove(m_tempPath);
        throw;
    }
}

TableFile::~TableFile()
{
    close();
    if (!m_committed)
        QFile::remove(m_tempPath);
}

void TableFile::execute(const QString &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        fail(message);
    }
}

void TableFile::prepareInsert(const QString &sql)
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &m_insert, nullptr) != SQLITE_OK)
        fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void TableFile::insertRow(const QVariantList &values)
{
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        int rc = SQLITE_OK;
        if (value.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob(m_insert, i + 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_insert, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    if (sqlite3_step(m_insert) != SQLITE_DONE)
        fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void TableFile::commit()
{
    execute(QStringLiteral("COMMIT"));
    close();
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_tempPath).toStdString(),
                            QFile::encodeName(m_finalPath).toStdString(), error);
    if (error)
        fail(QString::fromStdString(error.message()));
    m_committed = true;
}

void TableFile::fail(const QString &what) const
{
    throw std::runtime_error(QStringLiteral("%1: %2").arg(m_finalPath, what).toStdString());
}

void TableFile::close()
{
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}
