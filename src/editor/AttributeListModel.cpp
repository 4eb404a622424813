#include "AttributeListModel.h"

#include "StyleSheetModel.h"

static_assert(AttributeListModel::PictureRole == StyleSheetModel::PictureRole);

AttributeListModel::AttributeListModel(QObject *parent) : QAbstractItemModel(parent) {}

void AttributeListModel::setAttributes(std::vector<Catalogue::AttributeEntry> attributes)
{
    beginResetModel();
    m_attributes = std::move(attributes);
    endResetModel();
}

QModelIndex AttributeListModel::rootIndex() const
{
    return createIndex(0, 0, RootId);
}

QModelIndex AttributeListModel::attributeIndex(int attribute) const
{
    if (attribute < 0 || attribute >= int(m_attributes.size()))
        return {};
    return createIndex(attribute, 0, AttributeId);
}

QModelIndex AttributeListModel::choiceIndex(int attribute, int choice) const
{
    if (attribute < 0 || attribute >= int(m_attributes.size()))
        return {};
    if (choice < 0 || choice >= m_attributes[size_t(attribute)].choices.size())
        return {};
    return createIndex(choice, 0, FirstChoiceId + quintptr(attribute));
}

int AttributeListModel::levelOf(const QModelIndex &index)
{
    if (!index.isValid())
        return -1;
    switch (index.internalId()) {
    case RootId:
        return RootLevel;
    case AttributeId:
        return AttributeLevel;
    default:
        return ChoiceLevel;
    }
}

void AttributeListModel::setDecorationProvider(std::function<QVariant(int)> provider)
{
    beginResetModel();
    m_decoration = std::move(provider);
    endResetModel();
}

QModelIndex AttributeListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    switch (levelOf(parent)) {
    case -1:
        return row == 0 ? rootIndex() : QModelIndex();
    case RootLevel:
        return attributeIndex(row);
    case AttributeLevel:
        return choiceIndex(parent.row(), row);
    default:
        return {};
    }
}

QModelIndex AttributeListModel::parent(const QModelIndex &child) const
{
    switch (levelOf(child)) {
    case AttributeLevel:
        return rootIndex();
    case ChoiceLevel:
        return attributeIndex(int(child.internalId() - FirstChoiceId));
    default:
        return {};
    }
}

int AttributeListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    switch (levelOf(parent)) {
    case -1:
        return 1;
    case RootLevel:
        return int(m_attributes.size());
    case AttributeLevel:
        return int(m_attributes[size_t(parent.row())].choices.size());
    default:
        return 0;
    }
}

int AttributeListModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant AttributeListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    QString label;
    int picture = KindNone;
    switch (levelOf(index)) {
    case RootLevel:
        label = m_rootLabel;
        break;
    case AttributeLevel: {
        const Catalogue::AttributeEntry &entry = m_attributes[size_t(index.row())];
        label = entry.label;
        picture = entry.kind;
        break;
    }
    default:
        label = m_attributes[size_t(index.internalId() - FirstChoiceId)].choices.at(index.row());
        picture = KindChoice;
        break;
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return label;
    case PictureRole:
        return picture;
    case Qt::DecorationRole:
        return m_decoration ? m_decoration(picture) : QVariant();
    default:
        return {};
    }
}

bool AttributeListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    const QString text = value.toString();
    switch (levelOf(index)) {
    case RootLevel:
        m_rootLabel = text;
        break;
    case AttributeLevel:
        m_attributes[size_t(index.row())].label = text;
        break;
    default:
        m_attributes[size_t(index.internalId() - FirstChoiceId)].choices[index.row()] = text;
        break;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags AttributeListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
