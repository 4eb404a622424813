#pragma once

#include "ImageList.h"
#include "TableStore.h"
#include "ValueKind.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The catalogue: the element table (tags.db, the known selectors with their pictures)
// and the attribute table (css.db, the known attributes with their value kinds or
// choices), found beside the program. Both are opened once and stay open; rows are
// read into memory, and the look-ups by name are hash look-ups.
class Catalogue
{
public:
    static const QString ElementTableFile;   // "tags.db"
    static const QString AttributeTableFile; // "css.db"
    static const QString MissingTablesMessage;

    struct ElementNodeSpec
    {
        QString label;
        int picture = 0;
    };

    // What one build of the element list gives: the nodes in row order from the
    // fourth row on, and the row number of "A" when a row has that exact name.
    struct ElementList
    {
        std::vector<ElementNodeSpec> nodes;
        std::optional<int> aPosition;
        int rows = 0; // rows read, the three hidden ones included
    };

    struct AttributeEntry
    {
        QString label;
        ValueKind kind = KindNone;
        QStringList choices; // the words of a choice attribute, in order
    };

    struct ElementMatch
    {
        int count = 0; // rows whose name equals the looked-up one, ignoring case
        int row = 0;   // the row number (1-based, index order) when count is 1
    };

    // Presence check: "css.db", then "tags.db", in the folder.
    static bool tablesPresent(const QString &folder);

    // Opens the element table, then the attribute table. A damaged table is a Failure.
    void open(const QString &folder);
    bool isOpen() const { return m_tags.isOpen() && m_css.isOpen(); }

    // Appends one picture per element row to the image list and gives the nodes; the
    // first three rows (not selectors) are left out, or as many as there are.
    ElementList buildElementList(ImageList &images);

    std::vector<AttributeEntry> buildAttributeList();

    // The element rows named `name` ignoring case. The filter is switched off again.
    ElementMatch findElementRow(const QString &name);
    // The `Values` lines of the first attribute row named exactly `name` (empty when
    // there is none). The filter is switched off again.
    QStringList findAttributeRow(const QString &name);
    ValueKind findAttributeKind(const QString &name) { return kindOfValues(findAttributeRow(name)); }

    TableStore &tagTable() { return m_tags; }
    TableStore &cssTable() { return m_css; }

    // Loading at start-up, each step announced with its progress text and position
    // (0 to 50) before it begins. Each list is handed over as soon as it is built, so a
    // failure of a later step leaves what was loaded.
    struct StartUp
    {
        std::function<void(const QString &text, int position)> progress;
        std::function<void(ElementList)> elementsBuilt;
        std::function<void(std::vector<AttributeEntry>)> attributesBuilt;
    };
    void loadAtStartUp(const QString &folder, ImageList &images, const StartUp &steps);

private:
    TableStore m_tags;
    TableStore m_css;
};
