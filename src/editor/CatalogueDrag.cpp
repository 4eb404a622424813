#include "CatalogueDrag.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace {

// Bumped whenever the layout of the payload changes.
constexpr qint32 PayloadVersion = 1;

} // namespace

std::optional<CatalogueDrag::Node> CatalogueDrag::nodeAt(const QModelIndex &index)
{
    if (!index.isValid())
        return std::nullopt;
    const QModelIndex parent = index.parent();
    if (!parent.isValid())
        return std::nullopt; // the root
    Node node;
    node.label = index.data(Qt::DisplayRole).toString();
    node.kind = index.data(PictureRole).toInt();
    const QModelIndex grandParent = parent.parent();
    if (!grandParent.isValid()) {
        node.attributeRow = index.row();
    } else if (!grandParent.parent().isValid()) {
        node.attributeRow = parent.row();
        node.choiceRow = index.row();
        node.choiceParentLabel = parent.data(Qt::DisplayRole).toString();
    } else {
        return std::nullopt;
    }
    return node;
}

QMimeData *CatalogueDrag::mimeData(const Node &node)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << PayloadVersion << qint32(node.attributeRow) << qint32(node.choiceRow) << node.label
        << qint32(node.kind) << node.choiceParentLabel;
    auto *data = new QMimeData;
    data->setData(MimeType, payload);
    return data;
}

std::optional<CatalogueDrag::Node> CatalogueDrag::fromMimeData(const QMimeData *data)
{
    if (!data || !data->hasFormat(MimeType))
        return std::nullopt;
    const QByteArray payload = data->data(MimeType);
    QDataStream in(payload);
    qint32 version = 0;
    qint32 attributeRow = -1;
    qint32 choiceRow = -1;
    qint32 kind = 0;
    Node node;
    in >> version >> attributeRow >> choiceRow >> node.label >> kind >> node.choiceParentLabel;
    if (in.status() != QDataStream::Ok || !in.atEnd() || version != PayloadVersion || attributeRow < 0 ||
        choiceRow < -1)
        return std::nullopt;
    node.attributeRow = attributeRow;
    node.choiceRow = choiceRow;
    node.kind = kind;
    return node;
}
