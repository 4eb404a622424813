#pragma once

#include <QModelIndex>
#include <QString>
#include <optional>

class QMimeData;

// What a drag from the attribute catalogue carries: the dragged node of the `Properties`
// tree, a catalogue attribute or one choice word under it. The node travels in mime
// data of our own type, so the element tree accepts nothing else.
namespace CatalogueDrag {

inline const QString MimeType = QStringLiteral("application/x-loomwright-catalogue-node");
// The role in which both trees give a node's picture (its value kind).
constexpr int PictureRole = Qt::UserRole + 1;

struct Node
{
    int attributeRow = -1;     // the attribute's row under the catalogue's root
    int choiceRow = -1;        // the choice word's row under its attribute; -1 for an attribute
    QString label;             // the dragged node's label
    int kind = 0;              // its picture: the value kind (4 for a choice word)
    QString choiceParentLabel; // for a choice word: its attribute's label

    bool isChoice() const { return choiceRow >= 0; }
    friend bool operator==(const Node &, const Node &) = default;
};

// The node at `index` of the catalogue tree (root "Attributes", attributes, choice
// words); nothing for the root, deeper nodes or an invalid index.
std::optional<Node> nodeAt(const QModelIndex &index);

// A new mime data object carrying the node (owned by the caller).
QMimeData *mimeData(const Node &node);

// The node carried by `data`; nothing when the data is not ours or is damaged.
std::optional<Node> fromMimeData(const QMimeData *data);

} // namespace CatalogueDrag
