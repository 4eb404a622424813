#include "CsvReader.h"

#include <QFile>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

CsvReader::CsvReader(const QString &fileName) : m_fileName(fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString()));
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    int recordLine = 1;
    const auto endRecord = [&] {
        record.append(field);
        field.clear();
        fieldStarted = false;
        const bool blank = record.size() == 1 && record.front().isEmpty();
        if (!blank) {
            if (m_header.isEmpty())
                m_header = record;
            else {
                m_records.push_back(record);
                m_lines.push_back(recordLine);
            }
        }
        record.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field.append(c);
            }
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == u',') {
            record.append(field);
            field.clear();
            fieldStarted = false;
        } else if (c == u'\n') {
            endRecord();
            ++line;
            recordLine = line;
        } else {
            field.append(c);
            fieldStarted = true;
        }
    }
    if (quoted)
        fail(QStringLiteral("%1:%2: quoted field not closed").arg(fileName).arg(recordLine));
    if (fieldStarted || !record.isEmpty())
        endRecord();
    if (m_header.isEmpty())
        fail(QStringLiteral("%1: no header line").arg(fileName));
    for (std::size_t r = 0; r < m_records.size(); ++r) {
        if (m_records[r].size() != m_header.size())
            fail(QStringLiteral("%1:%2: %3 fields where the header has %4")
                     .arg(fileName)
                     .arg(m_lines[r])
                     .arg(m_records[r].size())
                     .arg(m_header.size()));
    }
}

int CsvReader::column(const QString &name) const
{
    const qsizetype index = m_header.indexOf(name);
    if (index < 0)
        fail(QStringLiteral("%1: no column \"%2\"").arg(m_fileName, name));
    return int(index);
}
