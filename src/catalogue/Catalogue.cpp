#include "Catalogue.h"

#include <QDir>
#include <QFileInfo>

const QString Catalogue::ElementTableFile = QStringLiteral("tags.db");
const QString Catalogue::AttributeTableFile = QStringLiteral("css.db");
const QString Catalogue::MissingTablesMessage =
    QStringLiteral("Database files not found. Please reinstall Loomwright CSS");

namespace {

const QString ElementField = QStringLiteral("Element");
const QString AttributeField = QStringLiteral("Attribute");

// Switches a table's filter off when a look-up ends, also by a failure.
class FilterScope
{
public:
    FilterScope(TableStore &table, const QString &field, const QString &text) : m_table(table)
    {
        m_table.setFilter(field, text);
        m_table.setFiltered(true);
    }
    ~FilterScope() { m_table.setFiltered(false); }
    FilterScope(const FilterScope &) = delete;
    FilterScope &operator=(const FilterScope &) = delete;

private:
    TableStore &m_table;
};

} // namespace

bool Catalogue::tablesPresent(const QString &folder)
{
    const QDir dir(folder);
    return QFileInfo::exists(dir.filePath(AttributeTableFile)) &&
           QFileInfo::exists(dir.filePath(ElementTableFile));
}

void Catalogue::open(const QString &folder)
{
    const QDir dir(folder);
    m_tags.open(dir.filePath(ElementTableFile), {QStringLiteral("tags"), ElementField,
                                                 QStringLiteral("Image"), QString(), ElementField, true});
    m_css.open(dir.filePath(AttributeTableFile), {QStringLiteral("css"), AttributeField, QString(),
                                                  QStringLiteral("Values"), QString(), false});
}

Catalogue::ElementList Catalogue::buildElementList(ImageList &images)
{
    ElementList list;
    m_tags.first();
    const int count = m_tags.recordCount();
    list.nodes.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const QString name = m_tags.firstField();
        const int picture = images.append(m_tags.image());
        list.nodes.push_back({name, picture});
        if (name == QLatin1String("A"))
            list.aPosition = int(list.nodes.size());
        m_tags.next();
    }
    list.rows = count;
    // The first three rows are not selectors; their pictures stay in the image list
    // so that the numbering holds.
    list.nodes.erase(list.nodes.begin(), list.nodes.begin() + std::min<size_t>(3, list.nodes.size()));
    return list;
}

std::vector<Catalogue::AttributeEntry> Catalogue::buildAttributeList()
{
    std::vector<AttributeEntry> list;
    list.reserve(size_t(m_css.recordCount()));
    for (m_css.first(); !m_css.eof(); m_css.next()) {
        AttributeEntry entry;
        entry.label = m_css.firstField();
        const QStringList lines = m_css.valuesLines();
        entry.kind = kindOfValues(lines);
        if (entry.kind == KindChoice)
            entry.choices = lines;
        list.push_back(std::move(entry));
    }
    return list;
}

Catalogue::ElementMatch Catalogue::findElementRow(const QString &name)
{
    FilterScope filter(m_tags, ElementField, name);
    ElementMatch match;
    match.count = m_tags.recordCount();
    if (match.count == 1) {
        m_tags.first();
        match.row = m_tags.recNo();
    }
    return match;
}

QStringList Catalogue::findAttributeRow(const QString &name)
{
    FilterScope filter(m_css, AttributeField, name);
    m_css.first();
    return m_css.eof() ? QStringList() : m_css.valuesLines();
}

void Catalogue::loadAtStartUp(const QString &folder, ImageList &images, const StartUp &steps)
{
    const auto progress = [&steps](const char *text, int position) {
        if (steps.progress)
            steps.progress(QString::fromLatin1(text), position);
    };
    progress("Opening databases", 10);
    open(folder);
    progress("Reading tag database", 15);
    ElementList elements = buildElementList(images);
    if (steps.elementsBuilt)
        steps.elementsBuilt(std::move(elements));
    progress("Reading attribute database", 35);
    std::vector<AttributeEntry> attributes = buildAttributeList();
    if (steps.attributesBuilt)
        steps.attributesBuilt(std::move(attributes));
    progress("Finishing...", 50);
}
