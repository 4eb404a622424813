#include "StyleSheetModel.h"

#include <algorithm>
#include <utility>

// Index scheme: the root has a null internal pointer; a node under the root points at
// the model itself; every other index points at the node it stands under, and its row
// tells a declaration (rows before the node's declaration count) from a child node.

// A document holds one of each per declaration and per node: a few bytes more each add
// megabytes to a large style sheet.
static_assert(sizeof(void *) != 8 || sizeof(AttributeNode) <= 64);
static_assert(sizeof(void *) != 8 || sizeof(ElementNode) <= 152);

AttributeNode::AttributeNode(QStringView name, QStringView value, int picture) : picture(qint16(picture))
{
    setText(name, value);
}

AttributeNode::AttributeNode(AttributeNode &&other) noexcept
    : m_chars(std::exchange(other.m_chars, nullptr)), comments(std::move(other.comments)),
      finding(std::move(other.finding)), nameLength(std::exchange(other.nameLength, -1)),
      m_length(std::exchange(other.m_length, 0)), line(other.line), column(other.column),
      sourceStart(other.sourceStart), nameStart(other.nameStart), valueStart(other.valueStart),
      valueEnd(other.valueEnd), sourceEnd(other.sourceEnd), picture(other.picture),
      semicolon(other.semicolon), edit(other.edit)
{
}

AttributeNode &AttributeNode::operator=(AttributeNode &&other) noexcept
{
    if (this != &other) {
        releaseText();
        m_chars = std::exchange(other.m_chars, nullptr);
        m_length = std::exchange(other.m_length, 0);
        nameLength = std::exchange(other.nameLength, -1);
        comments = std::move(other.comments);
        finding = std::move(other.finding);
        line = other.line;
        column = other.column;
        sourceStart = other.sourceStart;
        nameStart = other.nameStart;
        valueStart = other.valueStart;
        valueEnd = other.valueEnd;
        sourceEnd = other.sourceEnd;
        picture = other.picture;
        semicolon = other.semicolon;
        edit = other.edit;
    }
    return *this;
}

void AttributeNode::releaseText()
{
    if (!inSource())
        delete[] m_chars;
    m_chars = nullptr;
    m_length = 0;
}

void AttributeNode::setText(QStringView name, QStringView value, bool hasValue)
{
    // Made before the old text goes: name and value may be views of it.
    const qsizetype length = name.size() + (hasValue ? value.size() : 0);
    QChar *chars = length > 0 ? new QChar[size_t(length)] : nullptr;
    std::copy(name.begin(), name.end(), chars);
    if (hasValue)
        std::copy(value.begin(), value.end(), chars + name.size());
    releaseText();
    m_chars = chars;
    m_length = qint32(length);
    nameLength = hasValue ? qint32(name.size()) : -1;
}

AttributeNode AttributeNode::nameOnly(QStringView name, int picture)
{
    AttributeNode node;
    node.setText(name, {}, false);
    node.picture = qint16(picture);
    return node;
}

AttributeNode AttributeNode::fromLabel(QStringView label, DocumentForm form, int picture)
{
    const QChar own = form == DocumentForm::Editor ? QLatin1Char('=') : QLatin1Char(':');
    const QChar other = form == DocumentForm::Editor ? QLatin1Char(':') : QLatin1Char('=');
    qsizetype at = label.indexOf(own);
    // A label typed as CSS writes it ("padding: 16px") into the editor's form is taken
    // as CSS reads it: the blanks around name and value are not part of them.
    bool css = form == DocumentForm::Standard;
    if (at < 0) {
        at = label.indexOf(other);
        css = css || at >= 0;
    }
    if (at < 0)
        return nameOnly(form == DocumentForm::Standard ? label.trimmed() : label, picture);
    QStringView name = label.first(at);
    QStringView value = label.sliced(at + 1);
    if (css) {
        name = name.trimmed();
        value = value.trimmed();
    }
    return AttributeNode(name, value, picture);
}

QString AttributeNode::label(DocumentForm form) const
{
    if (!hasValue())
        return name().toString();
    const QStringView separator = form == DocumentForm::Editor ? QStringView(u"=") : QStringView(u": ");
    const QStringView ownName = name();
    const QStringView ownValue = value();
    QString out;
    out.reserve(ownName.size() + separator.size() + ownValue.size());
    out.append(ownName);
    out.append(separator);
    out.append(ownValue);
    return out;
}

AttributeNode AttributeNode::clone() const
{
    // A copy holds its own text: an undo step may outlive the source it was read from.
    AttributeNode copy;
    copy.setText(name(), value(), hasValue());
    copy.picture = picture;
    copy.line = line;
    copy.column = column;
    if (comments)
        copy.comments = std::make_unique<QStringList>(*comments);
    copy.sourceStart = sourceStart;
    copy.nameStart = nameStart;
    copy.valueStart = valueStart;
    copy.valueEnd = valueEnd;
    copy.sourceEnd = sourceEnd;
    copy.semicolon = semicolon;
    copy.edit = edit;
    return copy;
}

void AttributeNode::takePlaceOf(const AttributeNode &old, SourceEdit how)
{
    line = old.line;
    column = old.column;
    sourceStart = old.sourceStart;
    nameStart = old.nameStart;
    valueStart = old.valueStart;
    valueEnd = old.valueEnd;
    sourceEnd = old.sourceEnd;
    semicolon = old.semicolon;
    // A value written into a declaration that had none gives it a label of its own.
    if (how == SourceEdit::Value && !old.hasValue())
        how = SourceEdit::Label;
    edit = std::max(old.edit, how);
}

QString DocumentSource::lineBreakOf(QStringView text)
{
    qsizetype lf = 0, crlf = 0, cr = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            ++lf;
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        }
    }
    if (crlf > lf && crlf >= cr)
        return QStringLiteral("\r\n");
    if (cr > lf && cr > crlf)
        return QStringLiteral("\r");
    return QStringLiteral("\n");
}

ElementNode::~ElementNode()
{
    ElementNodes rest = std::move(children);
    while (!rest.empty()) {
        std::unique_ptr<ElementNode> node = std::move(rest.back());
        rest.pop_back();
        if (!node)
            continue; // moved elsewhere
        for (auto &child : node->children)
            rest.push_back(std::move(child));
        node->children.clear();
    }
}

void appendComment(std::unique_ptr<QStringList> &list, QString comment)
{
    if (!list)
        list = std::make_unique<QStringList>();
    list->append(std::move(comment));
}

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
    return attributeIndex(m_elements[size_t(element)].get(), attribute);
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
        return m_elements[size_t(index.row())].get();
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

void StyleSheetModel::touch(ElementNode *node)
{
    for (; node && !node->touched; node = node->parent)
        node->touched = true;
}

void StyleSheetModel::renumberFrom(int position)
{
    for (size_t i = size_t(std::max(0, position)); i < m_elements.size(); ++i)
        m_elements[i]->row = int(i);
}

void StyleSheetModel::emitChanged(const QModelIndex &index)
{
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void StyleSheetModel::setForm(DocumentForm form)
{
    if (form == m_form)
        return;
    m_form = form;
    emitAllDeclarationsChanged(m_elements);
}

void StyleSheetModel::emitAllDeclarationsChanged(const ElementNodes &top)
{
    forEachNode(top, [this](const ElementNode &node) {
        if (!node.attributes.empty())
            emit dataChanged(attributeIndex(&node, 0), attributeIndex(&node, int(node.attributes.size()) - 1),
                             {Qt::DisplayRole, Qt::EditRole});
        return true;
    });
}

void StyleSheetModel::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments)
{
    beginResetModel();
    m_elements = std::move(elements);
    m_endComments = std::move(endComments);
    for (auto &node : m_elements)
        node->parent = nullptr;
    renumberFrom(0);
    m_findingCount = 0;
    for (const auto &node : m_elements)
        m_findingCount += node->findings;
    endResetModel();
}

void StyleSheetModel::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments,
                                     DocumentForm form)
{
    m_form = form; // the reset below shows every label anew
    // The old text goes after the nodes that read from it.
    const DocumentSource old = std::exchange(m_source, {});
    replaceContent(std::move(elements), std::move(endComments));
}

void StyleSheetModel::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments,
                                     DocumentForm form, DocumentSource source)
{
    m_form = form;
    const DocumentSource old = std::exchange(m_source, std::move(source));
    replaceContent(std::move(elements), std::move(endComments));
}

StyleSheetModel::Content StyleSheetModel::exchangeContent(Content content)
{
    Content taken;
    taken.elements = std::move(m_elements);
    taken.endComments = std::move(m_endComments);
    taken.form = m_form;
    taken.source = std::move(m_source);
    m_source = std::move(content.source);
    m_form = content.form;
    replaceContent(std::move(content.elements), std::move(content.endComments));
    return taken;
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
    return appendAttribute(m_elements[size_t(element)].get(),
                           AttributeNode::fromLabel(label, m_form, picture));
}

int StyleSheetModel::appendAttribute(ElementNode *node, AttributeNode attribute)
{
    const int row = int(node->attributes.size());
    beginInsertRows(nodeIndex(node), row, row);
    const bool finding = bool(attribute.finding);
    node->attributes.push_back(std::move(attribute));
    touch(node);
    endInsertRows();
    if (finding)
        countFinding(node, +1);
    return row;
}

void StyleSheetModel::relabelRoot(const QString &label)
{
    m_rootLabel = label;
    emitChanged(rootIndex());
}

void StyleSheetModel::relabelElement(int element, const QString &label)
{
    relabelNode(m_elements[size_t(element)].get(), label);
}

void StyleSheetModel::relabelNode(ElementNode *node, const QString &label)
{
    relabelNode(node, label, true);
}

void StyleSheetModel::relabelNode(ElementNode *node, const QString &label, bool edited)
{
    node->label = label;
    node->labelEdited = edited;
    touch(node);
    emitChanged(nodeIndex(node));
}

void StyleSheetModel::relabelAttribute(int element, int attribute, const QString &label)
{
    relabelAttribute(m_elements[size_t(element)].get(), attribute, label);
}

void StyleSheetModel::relabelAttribute(ElementNode *node, int attribute, const QString &label)
{
    AttributeNode &target = node->attributes[size_t(attribute)];
    AttributeNode relabelled = AttributeNode::fromLabel(label, m_form, target.picture);
    relabelled.line = target.line;
    relabelled.column = target.column;
    relabelled.comments = std::move(target.comments);
    relabelled.finding = std::move(target.finding);
    relabelled.takePlaceOf(target, SourceEdit::Label);
    target = std::move(relabelled);
    touch(node);
    emitChanged(attributeIndex(node, attribute));
}

void StyleSheetModel::setAttributeValue(ElementNode *node, int attribute, const QString &value)
{
    AttributeNode &target = node->attributes[size_t(attribute)];
    target.setText(target.name(), value);
    target.edit = std::max(target.edit, SourceEdit::Value);
    touch(node);
    emitChanged(attributeIndex(node, attribute));
}

void StyleSheetModel::deleteAttribute(int element, int attribute)
{
    deleteAttribute(m_elements[size_t(element)].get(), attribute);
}

void StyleSheetModel::deleteAttribute(ElementNode *node, int attribute)
{
    const bool finding = bool(node->attributes[size_t(attribute)].finding);
    beginRemoveRows(nodeIndex(node), attribute, attribute);
    node->attributes.erase(node->attributes.begin() + attribute);
    touch(node);
    endRemoveRows();
    if (finding)
        countFinding(node, -1);
}

void StyleSheetModel::deleteAttributes(int element)
{
    deleteAttributes(m_elements[size_t(element)].get());
}

void StyleSheetModel::deleteAttributes(ElementNode *node)
{
    if (node->attributes.empty())
        return;
    const int findings = int(std::count_if(node->attributes.begin(), node->attributes.end(),
                                           [](const AttributeNode &a) { return bool(a.finding); }));
    beginRemoveRows(nodeIndex(node), 0, int(node->attributes.size()) - 1);
    node->attributes.clear();
    touch(node);
    endRemoveRows();
    if (findings)
        countFinding(node, -findings);
}

void StyleSheetModel::insertAttribute(ElementNode *node, int row, AttributeNode attribute)
{
    row = std::clamp(row, 0, int(node->attributes.size()));
    const bool finding = bool(attribute.finding);
    beginInsertRows(nodeIndex(node), row, row);
    node->attributes.insert(node->attributes.begin() + row, std::move(attribute));
    touch(node);
    endInsertRows();
    if (finding)
        countFinding(node, +1);
}

AttributeNode StyleSheetModel::takeAttribute(ElementNode *node, int row)
{
    beginRemoveRows(nodeIndex(node), row, row);
    AttributeNode taken = std::move(node->attributes[size_t(row)]);
    node->attributes.erase(node->attributes.begin() + row);
    touch(node);
    endRemoveRows();
    if (taken.finding)
        countFinding(node, -1);
    return taken;
}

void StyleSheetModel::replaceAttribute(ElementNode *node, int row, AttributeNode attribute)
{
    const int delta = int(bool(attribute.finding)) - int(bool(node->attributes[size_t(row)].finding));
    node->attributes[size_t(row)] = std::move(attribute);
    touch(node);
    emitChanged(attributeIndex(node, row));
    if (delta)
        countFinding(node, delta);
}

std::unique_ptr<ElementNode> StyleSheetModel::takeElement(int position)
{
    beginRemoveRows(rootIndex(), position, position);
    std::unique_ptr<ElementNode> taken = std::move(m_elements[size_t(position)]);
    m_elements.erase(m_elements.begin() + position);
    renumberFrom(position);
    m_findingCount -= taken->findings;
    endRemoveRows();
    return taken;
}

void StyleSheetModel::insertElement(int position, std::unique_ptr<ElementNode> node)
{
    position = std::clamp(position, 0, elementCount());
    beginInsertRows(rootIndex(), position, position);
    node->parent = nullptr;
    m_findingCount += node->findings;
    m_elements.insert(m_elements.begin() + position, std::move(node));
    renumberFrom(position);
    endInsertRows();
}

void StyleSheetModel::insertNode(ElementNode *parent, int row, std::unique_ptr<ElementNode> node)
{
    if (!parent) {
        insertElement(row, std::move(node));
        return;
    }
    row = std::clamp(row, 0, int(parent->children.size()));
    const int first = int(parent->attributes.size()) + row;
    beginInsertRows(nodeIndex(parent), first, first);
    node->parent = parent;
    const int findings = node->findings;
    parent->children.insert(parent->children.begin() + row, std::move(node));
    for (size_t i = size_t(row); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
    touch(parent);
    endInsertRows();
    if (findings)
        countFinding(parent, findings);
}

std::unique_ptr<ElementNode> StyleSheetModel::takeNode(ElementNode *parent, int row)
{
    if (!parent)
        return takeElement(row);
    const int first = int(parent->attributes.size()) + row;
    beginRemoveRows(nodeIndex(parent), first, first);
    std::unique_ptr<ElementNode> taken = std::move(parent->children[size_t(row)]);
    parent->children.erase(parent->children.begin() + row);
    for (size_t i = size_t(row); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
    touch(parent);
    endRemoveRows();
    if (taken->findings)
        countFinding(parent, -taken->findings);
    taken->parent = nullptr;
    return taken;
}

std::vector<int> StyleSheetModel::pathOf(const ElementNode *node)
{
    std::vector<int> path;
    for (; node; node = node->parent)
        path.insert(path.begin(), node->row);
    return path;
}

ElementNode *StyleSheetModel::nodeAt(const std::vector<int> &path) const
{
    if (path.empty() || path[0] < 0 || path[0] >= elementCount())
        return nullptr;
    ElementNode *node = m_elements[size_t(path[0])].get();
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] < 0 || path[i] >= int(node->children.size()))
            return nullptr;
        node = node->children[size_t(path[i])].get();
    }
    return node;
}

void StyleSheetModel::setDecorationProvider(std::function<QVariant(int)> provider)
{
    m_decoration = std::move(provider);
    beginResetModel();
    endResetModel();
}

void StyleSheetModel::countFinding(ElementNode *node, int delta, bool announce)
{
    m_findingCount += delta;
    for (; node; node = node->parent) {
        const bool held = node->findings != 0;
        node->findings += delta;
        if (announce && held != (node->findings != 0)) {
            const QModelIndex index = nodeIndex(node);
            emit dataChanged(index, index, {Qt::DecorationRole, Qt::ToolTipRole, FindingRole});
        }
    }
}

void StyleSheetModel::setFinding(const ElementNode *constNode, int attribute, const QString &reason)
{
    // The model owns its nodes; the check hands them back as it read them.
    ElementNode *node = const_cast<ElementNode *>(constNode);
    AttributeNode &target = node->attributes[size_t(attribute)];
    if (reason.isEmpty() ? !target.finding : target.finding && *target.finding == reason)
        return;
    const int delta = reason.isEmpty() ? -1 : target.finding ? 0 : +1;
    if (reason.isEmpty())
        target.finding.reset();
    else
        target.finding = std::make_unique<QString>(reason);
    const QModelIndex index = attributeIndex(node, attribute);
    emit dataChanged(index, index, {Qt::FontRole, Qt::DecorationRole, Qt::ToolTipRole, FindingRole});
    if (delta)
        countFinding(node, delta);
}

void StyleSheetModel::clearFindings(ElementNodes &top)
{
    // Only nodes that count findings hold some.
    forEachNode(top, [](ElementNode &node) {
        if (node.findings == 0)
            return false;
        node.findings = 0;
        for (AttributeNode &attribute : node.attributes)
            attribute.finding.reset();
        return true;
    });
}

void StyleSheetModel::replaceFindings(std::vector<FindingMark> marks)
{
    if (m_findingCount != 0)
        clearFindings(m_elements);
    m_findingCount = 0;
    for (FindingMark &mark : marks) {
        ElementNode *node = const_cast<ElementNode *>(mark.node);
        AttributeNode &target = node->attributes[size_t(mark.attribute)];
        if (mark.reason.isEmpty() || target.finding)
            continue;
        target.finding = std::make_unique<QString>(std::move(mark.reason));
        countFinding(node, +1, false);
    }
    // One announcement for all: the views show the marks anew.
    if (!m_elements.empty())
        emit dataChanged(elementIndex(0), elementIndex(elementCount() - 1),
                         {Qt::FontRole, Qt::DecorationRole, Qt::ToolTipRole, FindingRole});
}

void StyleSheetModel::setFindingMarkProvider(std::function<QVariant(int, int)> provider)
{
    m_findingMark = std::move(provider);
    if (!m_elements.empty())
        emit dataChanged(elementIndex(0), elementIndex(elementCount() - 1),
                         {Qt::FontRole, Qt::DecorationRole});
}

QVariant StyleSheetModel::findingMark(int role, int picture) const
{
    return m_findingMark ? m_findingMark(role, picture) : QVariant();
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
            return m_rootLabel;
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
            return node.label(m_form);
        case Qt::ToolTipRole: {
            QString tip = tooltipOf(node.label(m_form), node.comments.get());
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
        changed = text != m_rootLabel;
        relabelRoot(text);
        break;
    case ElementLevel: {
        ElementNode *node = nodeOf(index);
        changed = text != node->label;
        relabelNode(node, text);
        break;
    }
    default: {
        ElementNode *node = nodeOf(index);
        changed = text != node->attributes[size_t(index.row())].label(m_form);
        relabelAttribute(node, index.row(), text);
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
