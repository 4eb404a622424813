#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// A catalogue table: an SQLite file whose rows are read once into memory when it is
// opened, in a fixed order, and then walked like a cursor (first, next, end), with an
// optional filter "first field = text" answered by a hash look-up.
class TableStore
{
public:
    struct Layout
    {
        QString table;       // table name inside the file
        QString firstField;  // the text field filters apply to
        QString imageField;  // optional picture field (BLOB)
        QString valuesField; // optional multi-line text field
        QString index;       // read in this index's order (ties by rowid); empty: rowid order
        bool caseInsensitiveFilter = false;
    };

    TableStore() = default;
    TableStore(const TableStore &) = delete;
    TableStore &operator=(const TableStore &) = delete;

    // Reads every row of the table; a file that is missing, damaged or lacks the
    // table, a field or the index is a Failure naming the file.
    void open(const QString &path, const Layout &layout);
    bool isOpen() const { return m_open; }
    const QString &path() const { return m_path; }

    void first();
    void next();
    bool eof() const;
    // Number of rows, counting only the filtered rows while the filter is on.
    int recordCount() const;
    // 1-based position of the current row among all rows (unaffected by the filter);
    // 0 when there is no current row.
    int recNo() const;

    QString firstField() const;
    QByteArray image() const;
    QStringList valuesLines() const;

    // The filter "<field>='<text>'"; field must be the layout's first field. The text is
    // compared as a value, so quotes in it need no escaping.
    void setFilter(const QString &field, const QString &text);
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

private:
    struct Row
    {
        QString first;
        QByteArray image;
        QStringList values;
    };

    QString key(const QString &text) const;
    const Row *current() const;

    Layout m_layout;
    QString m_path;
    bool m_open = false;
    std::vector<Row> m_rows;
    QHash<QString, std::vector<int>> m_byFirst; // key -> row indexes in row order
    QString m_filterText;
    bool m_filtered = false;
    const std::vector<int> *m_matches = nullptr; // rows matching the filter while it is on
    int m_cursor = 0;                            // index into all rows or into the matches
};
