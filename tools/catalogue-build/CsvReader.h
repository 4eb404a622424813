#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Reads a comma-separated text file of the catalogue's sources: fields may be enclosed
// in double quotes (a doubled quote stands for one) and then hold commas and line
// breaks. The first record names the columns. Line breaks inside fields come back as LF.
class CsvReader
{
public:
    // Reads the whole file; throws std::runtime_error with the file name and line when
    // the file cannot be read or a quoted field is not closed.
    explicit CsvReader(const QString &fileName);

    const QStringList &header() const { return m_header; }
    const std::vector<QStringList> &records() const { return m_records; }
    // The position of a column by name; throws when the file has no such column.
    int column(const QString &name) const;
    // The line number (1-based) at which the given record starts, for messages.
    int lineOf(std::size_t record) const { return m_lines.at(record); }
    const QString &fileName() const { return m_fileName; }

private:
    QString m_fileName;
    QStringList m_header;
    std::vector<QStringList> m_records;
    std::vector<int> m_lines;
};
