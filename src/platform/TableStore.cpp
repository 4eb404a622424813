#include "TableStore.h"

#include "Failure.h"

#include <memory>
#include <sqlite3.h>

namespace {

struct DbCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct StmtFinaliser
{
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};

// An identifier in brackets: unlike double quotes, SQLite never takes it for a string
// literal when no such column exists, so a missing field is an error.
QString quoted(const QString &name)
{
    QString q = name;
    q.remove(QLatin1Char(']'));
    return QLatin1Char('[') + q + QLatin1Char(']');
}

QString columnText(sqlite3_stmt *stmt, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)) : QString();
}

// Lines of a multi-line field: separated by LF (a CR before it is dropped); a final
// line break ends the last line rather than starting an empty one.
QStringList splitLines(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

} // namespace

void TableStore::open(const QString &path, const Layout &layout)
{
    const auto fail = [&path](const QString &reason) {
        throw Failure(QStringLiteral("Cannot read table \"%1\": %2").arg(path, reason));
    };
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, DbCloser> db(raw);
    if (rc != SQLITE_OK)
        fail(raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("out of memory"));

    QString sql = QStringLiteral("SELECT ") + quoted(layout.firstField);
    sql += QStringLiteral(", ") +
           (layout.imageField.isEmpty() ? QStringLiteral("NULL") : quoted(layout.imageField));
    sql += QStringLiteral(", ") +
           (layout.valuesField.isEmpty() ? QStringLiteral("NULL") : quoted(layout.valuesField));
    sql += QStringLiteral(" FROM ") + quoted(layout.table);
    if (!layout.index.isEmpty())
        sql += QStringLiteral(" INDEXED BY ") + quoted(layout.index) + QStringLiteral(" ORDER BY ") +
               quoted(layout.firstField) + QStringLiteral(" COLLATE NOCASE, rowid");
    else
        sql += QStringLiteral(" ORDER BY rowid");

    sqlite3_stmt *rawStmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &rawStmt, nullptr) != SQLITE_OK)
        fail(QString::fromUtf8(sqlite3_errmsg(db.get())));
    std::unique_ptr<sqlite3_stmt, StmtFinaliser> stmt(rawStmt);

    std::vector<Row> rows;
    int step;
    while ((step = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        Row row;
        row.first = columnText(stmt.get(), 0);
        if (const void *blob = sqlite3_column_blob(stmt.get(), 1))
            row.image = QByteArray(static_cast<const char *>(blob), sqlite3_column_bytes(stmt.get(), 1));
        row.values = splitLines(columnText(stmt.get(), 2));
        rows.push_back(std::move(row));
    }
    if (step != SQLITE_DONE)
        fail(QString::fromUtf8(sqlite3_errmsg(db.get())));

    m_layout = layout;
    m_path = path;
    m_rows = std::move(rows);
    m_byFirst.clear();
    m_byFirst.reserve(qsizetype(m_rows.size()));
    for (int i = 0; i < int(m_rows.size()); ++i)
        m_byFirst[key(m_rows[i].first)].push_back(i);
    m_filtered = false;
    m_matches = nullptr;
    m_filterText.clear();
    m_cursor = 0;
    m_open = true;
}

QString TableStore::key(const QString &text) const
{
    return m_layout.caseInsensitiveFilter ? text.toCaseFolded() : text;
}

void TableStore::first()
{
    m_cursor = 0;
}

void TableStore::next()
{
    if (!eof())
        ++m_cursor;
}

bool TableStore::eof() const
{
    return m_cursor >= recordCount();
}

int TableStore::recordCount() const
{
    if (m_filtered)
        return m_matches ? int(m_matches->size()) : 0;
    return int(m_rows.size());
}

const TableStore::Row *TableStore::current() const
{
    if (eof())
        return nullptr;
    return &m_rows[size_t(m_filtered ? (*m_matches)[size_t(m_cursor)] : m_cursor)];
}

int TableStore::recNo() const
{
    if (eof())
        return 0;
    return (m_filtered ? (*m_matches)[size_t(m_cursor)] : m_cursor) + 1;
}

QString TableStore::firstField() const
{
    const Row *row = current();
    return row ? row->first : QString();
}

QByteArray TableStore::image() const
{
    const Row *row = current();
    return row ? row->image : QByteArray();
}

QStringList TableStore::valuesLines() const
{
    const Row *row = current();
    return row ? row->values : QStringList();
}

void TableStore::setFilter(const QString &field, const QString &text)
{
    if (field.compare(m_layout.firstField, Qt::CaseInsensitive) != 0)
        throw Failure(QStringLiteral("Cannot filter table \"%1\" on field %2").arg(m_path, field));
    m_filterText = text;
    if (m_filtered)
        setFiltered(true);
}

void TableStore::setFiltered(bool on)
{
    m_filtered = on;
    m_cursor = 0;
    if (on) {
        const auto it = m_byFirst.constFind(key(m_filterText));
        m_matches = it == m_byFirst.cend() ? nullptr : &it.value();
    } else {
        m_matches = nullptr;
    }
}
