#include "StyleSheetModel.h"

// Index scheme: the root has a null internal pointer; an element node's index points
// at the model itself; an attribute node's index points at its element node, whose
// stored row gives the parent in constant time.

StyleSheetModel::StyleSheetModel(QObject *parent) : QAbstractItemModel(parent) {}

StyleSheetModel::~StyleSheetModel() = default;

QModelIndex StyleSheetModel::rootIndex() const
{
    return createIndex(0, 0, nullptr);
}

QModelIndex StyleSheetModel::elementIndex(int position) const
{
    if (position < 0 || position >= elementCount())
        return {};
    return createIndex(position, 0, const_cast<StyleSheetModel *>(this));
}

QModelIndex StyleSheetModel::attributeIndex(int element, int attribute) const
{
    if (element < 0 || element >= elementCount())
        return {};
    ElementNode *node = m_elements[size_t(element)].get();
    if (attribute < 0 || attribute >= int(node->attributes.size()))
        return {};
    return createIndex(attribute, 0, node);
}

int StyleSheetModel::levelOf(const QModelIndex &index)
{
    if (!index.isValid())
        return -1;
    if (!index.internalPointer())
        return RootLevel;
    if (index.internalPointer() == index.model())
        return ElementLevel;
    return AttributeLevel;
}

int StyleSheetModel::elementOf(const QModelIndex &index) const
{
    switch (levelOf(index)) {
    case ElementLevel:
        return index.row();
    case AttributeLevel:
        return static_cast<ElementNode *>(index.internalPointer())->row;
    default:
        return -1;
    }
}

ElementNode *StyleSheetModel::elementFor(const QModelIndex &index) const
{
    const int position = elementOf(index);
    return position < 0 ? nullptr : m_elements[size_t(position)].get();
}

void StyleSheetModel::renumberFrom(int position)
{
    for (size_t i = size_t(std::max(0, position)); i < m_elements.size(); ++i)
        m_elements[i]->row = int(i);
}

void StyleSheetModel::replaceContent(ElementNodes elements)
{
    beginResetModel();
    m_elements = std::move(elements);
    renumberFrom(0);
    endResetModel();
}

void StyleSheetModel::insertElement(int position, const QString &label, int picture)
{
    position = std::clamp(position, 0, elementCount());
    beginInsertRows(rootIndex(), position, position);
    auto node = std::make_unique<ElementNode>();
    node->label = label;
    node->picture = picture;
    m_elements.insert(m_elements.begin() + position, std::move(node));
    renumberFrom(position);
    endInsertRows();
}

int StyleSheetModel::appendElement(const QString &label, int picture)
{
    const int position = elementCount();
    insertElement(position, label, picture);
    return position;
}

int StyleSheetModel::appendAttribute(int element, const QString &label, int picture)
{
    ElementNode &node = *m_elements[size_t(element)];
    const int row = int(node.attributes.size());
    beginInsertRows(elementIndex(element), row, row);
    node.attributes.push_back({label, picture});
    endInsertRows();
    return row;
}

void StyleSheetModel::relabelRoot(const QString &label)
{
    m_rootLabel = label;
    const QModelIndex index = rootIndex();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void StyleSheetModel::relabelElement(int element, const QString &label)
{
    m_elements[size_t(element)]->label = label;
    const QModelIndex index = elementIndex(element);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void StyleSheetModel::relabelAttribute(int element, int attribute, const QString &label)
{
    m_elements[size_t(element)]->attributes[size_t(attribute)].label = label;
    const QModelIndex index = attributeIndex(element, attribute);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void StyleSheetModel::deleteAttribute(int element, int attribute)
{
    ElementNode &node = *m_elements[size_t(element)];
    beginRemoveRows(elementIndex(element), attribute, attribute);
    node.attributes.erase(node.attributes.begin() + attribute);
    endRemoveRows();
}

void StyleSheetModel::deleteAttributes(int element)
{
    ElementNode &node = *m_elements[size_t(element)];
    if (node.attributes.empty())
        return;
    beginRemoveRows(elementIndex(element), 0, int(node.attributes.size()) - 1);
    node.attributes.clear();
    endRemoveRows();
}

void StyleSheetModel::setDecorationProvider(std::function<QVariant(int)> provider)
{
    m_decoration = std::move(provider);
    beginResetModel();
    endResetModel();
}

QModelIndex StyleSheetModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    switch (levelOf(parent)) {
    case -1:
        return row == 0 ? rootIndex() : QModelIndex();
    case RootLevel:
        return elementIndex(row);
    case ElementLevel:
        return attributeIndex(parent.row(), row);
    default:
        return {};
    }
}

QModelIndex StyleSheetModel::parent(const QModelIndex &child) const
{
    switch (levelOf(child)) {
    case ElementLevel:
        return rootIndex();
    case AttributeLevel:
        return elementIndex(static_cast<ElementNode *>(child.internalPointer())->row);
    default:
        return {};
    }
}

int StyleSheetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    switch (levelOf(parent)) {
    case -1:
        return 1;
    case RootLevel:
        return elementCount();
    case ElementLevel:
        return int(m_elements[size_t(parent.row())]->attributes.size());
    default:
        return 0;
    }
}

int StyleSheetModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant StyleSheetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QString *label = nullptr;
    int picture = 0;
    switch (levelOf(index)) {
    case RootLevel:
        label = &m_rootLabel;
        break;
    case ElementLevel: {
        const ElementNode &node = *m_elements[size_t(index.row())];
        label = &node.label;
        picture = node.picture;
        break;
    }
    default: {
        const AttributeNode &node =
            static_cast<ElementNode *>(index.internalPointer())->attributes[size_t(index.row())];
        label = &node.label;
        picture = node.picture;
        break;
    }
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return *label;
    case PictureRole:
        return picture;
    case Qt::DecorationRole:
        return m_decoration ? m_decoration(picture) : QVariant();
    default:
        return {};
    }
}

bool StyleSheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    const QString text = value.toString();
    bool changed = false;
    switch (levelOf(index)) {
    case RootLevel:
        changed = text != m_rootLabel;
        relabelRoot(text);
        break;
    case ElementLevel:
        changed = text != m_elements[size_t(index.row())]->label;
        relabelElement(index.row(), text);
        break;
    default: {
        const int element = elementOf(index);
        changed = text != m_elements[size_t(element)]->attributes[size_t(index.row())].label;
        relabelAttribute(element, index.row(), text);
        break;
    }
    }
    emit labelEdited(index, changed);
    return true;
}

Qt::ItemFlags StyleSheetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    const Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
    // An attribute node is a leaf: saying so spares the view a record of its expanded
    // state for every declaration when the whole tree is expanded.
    return levelOf(index) == AttributeLevel ? flags | Qt::ItemNeverHasChildren : flags;
}
