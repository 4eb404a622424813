#include "StyleSheetModel.h"

#include <algorithm>

// Index scheme: the root has a null internal pointer; a node under the root points at
// the model itself; every other index points at the node it stands under, and its row
// tells a declaration (rows before the node's declaration count) from a child node.

StyleSheetModel::StyleSheetModel(StyleSheet &sheet, QObject *parent)
    : QAbstractItemModel(parent), m_sheet(sheet)
{
    m_sheet.setObserver(this);
}

StyleSheetModel::~StyleSheetModel()
{
    m_sheet.setObserver(nullptr);
}

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
    return attributeIndex(&m_sheet.element(element), attribute);
}

QModelIndex StyleSheetModel::attributeIndex(const ElementNode *node, int attribute) const
{
    if (!node || attribute < 0 || attribute >= int(node->attributes.size()))
        return {};
    return createIndex(attribute, 0, const_cast<ElementNode *>(node));
}

QModelIndex StyleSheetModel::nodeIndex(const ElementNode *node) const
{
    if (!node)
        return {};
    if (!node->parent)
        return elementIndex(node->row);
    return createIndex(node->modelRow(), 0, node->parent);
}

int StyleSheetModel::levelOf(const QModelIndex &index)
{
    if (!index.isValid())
        return -1;
    if (!index.internalPointer())
        return RootLevel;
    if (index.internalPointer() == index.model())
        return ElementLevel;
    const auto *parent = static_cast<const ElementNode *>(index.internalPointer());
    return index.row() < int(parent->attributes.size()) ? AttributeLevel : ElementLevel;
}

ElementNode *StyleSheetModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || !index.internalPointer())
        return nullptr;
    if (index.internalPointer() == this)
        return &m_sheet.element(index.row());
    auto *parent = static_cast<ElementNode *>(index.internalPointer());
    const int attributes = int(parent->attributes.size());
    if (index.row() < attributes)
        return parent;
    return parent->children[size_t(index.row() - attributes)].get();
}

int StyleSheetModel::elementOf(const QModelIndex &index) const
{
    const ElementNode *node = nodeOf(index);
    if (!node)
        return -1;
    while (node->parent)
        node = node->parent;
    return node->row;
}

const AttributeNode *StyleSheetModel::attributeOf(const QModelIndex &index) const
{
    if (levelOf(index) != AttributeLevel || index.model() != this)
        return nullptr;
    const auto *parent = static_cast<const ElementNode *>(index.internalPointer());
    return &parent->attributes[size_t(index.row())];
}

void StyleSheetModel::setDecorationProvider(std::function<QVariant(int)> provider)
{
    m_decoration = std::move(provider);
    beginResetModel();
    endResetModel();
}

void StyleSheetModel::setFindingMarkProvider(std::function<QVariant(int, int)> provider)
{
    m_findingMark = std::move(provider);
    if (elementCount() > 0)
        emit dataChanged(elementIndex(0), elementIndex(elementCount() - 1),
                         {Qt::FontRole, Qt::DecorationRole});
}

QVariant StyleSheetModel::findingMark(int role, int picture) const
{
    return m_findingMark ? m_findingMark(role, picture) : QVariant();
}

QModelIndex StyleSheetModel::itemIndex(const ElementNode *parent, int row) const
{
    return parent ? createIndex(row, 0, const_cast<ElementNode *>(parent)) : elementIndex(row);
}

void StyleSheetModel::aboutToReset()
{
    beginResetModel();
}

void StyleSheetModel::reset()
{
    endResetModel();
}

void StyleSheetModel::aboutToInsert(const ElementNode *parent, int first, int last)
{
    beginInsertRows(parent ? nodeIndex(parent) : rootIndex(), first, last);
}

void StyleSheetModel::inserted()
{
    endInsertRows();
}

void StyleSheetModel::aboutToRemove(const ElementNode *parent, int first, int last)
{
    beginRemoveRows(parent ? nodeIndex(parent) : rootIndex(), first, last);
}

void StyleSheetModel::removed()
{
    endRemoveRows();
}

void StyleSheetModel::changed(const ElementNode *parent, int first, int last, Change change)
{
    QList<int> roles;
    switch (change) {
    case Change::Label:
        roles = {Qt::DisplayRole, Qt::EditRole};
        break;
    case Change::Finding:
        roles = {Qt::FontRole, Qt::DecorationRole, Qt::ToolTipRole, FindingRole};
        break;
    case Change::HeldFindings:
        roles = {Qt::DecorationRole, Qt::ToolTipRole, FindingRole};
        break;
    }
    emit dataChanged(itemIndex(parent, first), itemIndex(parent, last), roles);
}

void StyleSheetModel::rootChanged()
{
    const QModelIndex root = rootIndex();
    emit dataChanged(root, root, {Qt::DisplayRole, Qt::EditRole});
}

QModelIndex StyleSheetModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? rootIndex() : QModelIndex();
    if (parent.model() != this)
        return {};
    if (levelOf(parent) == RootLevel)
        return elementIndex(row);
    if (levelOf(parent) != ElementLevel)
        return {};
    const ElementNode *node = nodeOf(parent);
    if (row >= int(node->attributes.size() + node->children.size()))
        return {};
    return createIndex(row, 0, const_cast<ElementNode *>(node));
}

QModelIndex StyleSheetModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || !child.internalPointer())
        return {};
    if (child.internalPointer() == this)
        return rootIndex();
    return nodeIndex(static_cast<const ElementNode *>(child.internalPointer()));
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
    case ElementLevel: {
        const ElementNode *node = nodeOf(parent);
        return int(node->attributes.size() + node->children.size());
    }
    default:
        return 0;
    }
}

int StyleSheetModel::columnCount(const QModelIndex &) const
{
    return 1;
}

namespace {

QString tooltipOf(const QString &label, const QStringList *comments)
{
    if (!comments || comments->isEmpty())
        return label;
    return comments->join(QLatin1Char('\n')) + QLatin1Char('\n') + label;
}

} // namespace

QVariant StyleSheetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this)
        return {};
    const int level = levelOf(index);
    if (level == RootLevel) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            return m_sheet.rootLabel();
        case PictureRole:
            return 0;
        case KindRole:
            return -1;
        case Qt::DecorationRole:
            return m_decoration ? m_decoration(0) : QVariant();
        default:
            return {};
        }
    }
    if (level == AttributeLevel) {
        const AttributeNode &node = *attributeOf(index);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return node.label(m_sheet.form());
        case Qt::ToolTipRole: {
            QString tip = tooltipOf(node.label(m_sheet.form()), node.comments.get());
            if (node.finding)
                tip += QLatin1Char('\n') + *node.finding;
            const QString support =
                m_supportNote && node.hasValue() ? m_supportNote(node.name(), node.value()) : QString();
            if (!support.isEmpty())
                tip += QLatin1Char('\n') + support;
            return tip;
        }
        case PictureRole:
            return node.picture;
        case KindRole:
            return -1;
        case FindingRole:
            return node.finding ? QVariant(*node.finding) : QVariant();
        case Qt::FontRole:
            return node.finding ? findingMark(role, node.picture) : QVariant();
        case Qt::DecorationRole:
            if (node.finding && m_findingMark)
                return findingMark(role, node.picture);
            return m_decoration ? m_decoration(node.picture) : QVariant();
        default:
            return {};
        }
    }
    const ElementNode &node = *nodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node.label;
    case Qt::ToolTipRole:
        if (node.findings)
            return tooltipOf(node.label, node.comments.get()) + QLatin1Char('\n') +
                   QStringLiteral("holds declarations a browser would drop");
        return tooltipOf(node.label, node.comments.get());
    case PictureRole:
        return node.picture;
    case KindRole:
        return int(node.kind);
    case FindingRole:
        return node.findings != 0;
    case Qt::DecorationRole:
        if (node.findings && m_findingMark)
            return findingMark(role, node.picture);
        return m_decoration ? m_decoration(node.picture) : QVariant();
    default:
        return {};
    }
}

bool StyleSheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.model() != this)
        return false;
    const QString text = value.toString();
    if (m_editHandler)
        return m_editHandler(index, text);
    bool changed = false;
    switch (levelOf(index)) {
    case RootLevel:
        changed = text != m_sheet.rootLabel();
        m_sheet.relabelRoot(text);
        break;
    case ElementLevel: {
        ElementNode *node = nodeOf(index);
        changed = text != node->label;
        m_sheet.relabelNode(node, text);
        break;
    }
    default: {
        ElementNode *node = nodeOf(index);
        changed = text != node->attributes[size_t(index.row())].label(m_sheet.form());
        m_sheet.relabelAttribute(node, index.row(), text);
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
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
    // Declarations and nodes are dragged to other places of the tree; the root stays.
    if (levelOf(index) != RootLevel)
        flags |= Qt::ItemIsDragEnabled;
    // A declaration and a statement are leaves: saying so spares the view a record of
    // its expanded state for every declaration when the whole tree is expanded.
    if (levelOf(index) == AttributeLevel)
        return flags | Qt::ItemNeverHasChildren;
    if (const ElementNode *node = nodeOf(index); node && node->kind == NodeKind::Statement)
        return flags | Qt::ItemNeverHasChildren;
    return flags;
}
