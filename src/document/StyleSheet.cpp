#include "StyleSheet.h"

#include <algorithm>
#include <utility>

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
      m_length(std::exchange(other.m_length, 0)), picture(other.picture), edit(other.edit)
{
    copyPlace(other);
}

void AttributeNode::copyPlace(const AttributeNode &from)
{
    line = from.line;
    column = from.column;
    sourceStart = from.sourceStart;
    nameStart = from.nameStart;
    valueStart = from.valueStart;
    valueEnd = from.valueEnd;
    sourceEnd = from.sourceEnd;
    semicolon = from.semicolon;
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
        copyPlace(other);
        picture = other.picture;
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
    if (comments)
        copy.comments = std::make_unique<QStringList>(*comments);
    copy.copyPlace(*this);
    copy.edit = edit;
    return copy;
}

void AttributeNode::takePlaceOf(const AttributeNode &old, SourceEdit how)
{
    copyPlace(old);
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

// Every change tells the observer before and after (the item model's row signals need
// both); the sheet works the same without one (loomcss, tests).

StyleSheet::~StyleSheet() = default;

void StyleSheet::touch(ElementNode *node)
{
    for (; node && !node->touched; node = node->parent)
        node->touched = true;
}

void StyleSheet::renumberFrom(int position)
{
    for (size_t i = size_t(std::max(0, position)); i < m_elements.size(); ++i)
        m_elements[i]->row = int(i);
}

void StyleSheet::nodeChanged(const ElementNode *node, Observer::Change change)
{
    if (m_observer)
        m_observer->changed(node->parent, node->modelRow(), node->modelRow(), change);
}

void StyleSheet::attributeChanged(const ElementNode *node, int attribute, Observer::Change change)
{
    if (m_observer)
        m_observer->changed(node, attribute, attribute, change);
}

void StyleSheet::setForm(DocumentForm form)
{
    if (form == m_form)
        return;
    m_form = form;
    // Every declaration's label reads anew.
    if (!m_observer)
        return;
    forEachNode(m_elements, [this](const ElementNode &node) {
        if (!node.attributes.empty())
            m_observer->changed(&node, 0, int(node.attributes.size()) - 1, Observer::Change::Label);
        return true;
    });
}

void StyleSheet::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments)
{
    if (m_observer)
        m_observer->aboutToReset();
    m_elements = std::move(elements);
    m_endComments = std::move(endComments);
    for (auto &node : m_elements)
        node->parent = nullptr;
    renumberFrom(0);
    m_findingCount = 0;
    for (const auto &node : m_elements)
        m_findingCount += node->findings;
    if (m_observer)
        m_observer->reset();
}

void StyleSheet::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments,
                                DocumentForm form)
{
    m_form = form; // the reset below shows every label anew
    // The old text goes after the nodes that read from it.
    const DocumentSource old = std::exchange(m_source, {});
    replaceContent(std::move(elements), std::move(endComments));
}

void StyleSheet::replaceContent(ElementNodes elements, std::unique_ptr<QStringList> endComments,
                                DocumentForm form, DocumentSource source)
{
    m_form = form;
    const DocumentSource old = std::exchange(m_source, std::move(source));
    replaceContent(std::move(elements), std::move(endComments));
}

StyleSheet::Content StyleSheet::exchangeContent(Content content)
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

void StyleSheet::insertElement(int position, const QString &label, int picture)
{
    auto node = std::make_unique<ElementNode>();
    node->label = label;
    node->picture = picture;
    insertElement(position, std::move(node));
}

int StyleSheet::appendElement(const QString &label, int picture)
{
    const int position = elementCount();
    insertElement(position, label, picture);
    return position;
}

int StyleSheet::appendAttribute(int element, const QString &label, int picture)
{
    return appendAttribute(m_elements[size_t(element)].get(),
                           AttributeNode::fromLabel(label, m_form, picture));
}

int StyleSheet::appendAttribute(ElementNode *node, AttributeNode attribute)
{
    const int row = int(node->attributes.size());
    insertAttribute(node, row, std::move(attribute));
    return row;
}

void StyleSheet::relabelRoot(const QString &label)
{
    m_rootLabel = label;
    if (m_observer)
        m_observer->rootChanged();
}

void StyleSheet::relabelElement(int element, const QString &label)
{
    relabelNode(m_elements[size_t(element)].get(), label);
}

void StyleSheet::relabelNode(ElementNode *node, const QString &label)
{
    relabelNode(node, label, true);
}

void StyleSheet::relabelNode(ElementNode *node, const QString &label, bool edited)
{
    node->label = label;
    node->labelEdited = edited;
    touch(node);
    nodeChanged(node, Observer::Change::Label);
}

void StyleSheet::relabelAttribute(int element, int attribute, const QString &label)
{
    relabelAttribute(m_elements[size_t(element)].get(), attribute, label);
}

void StyleSheet::relabelAttribute(ElementNode *node, int attribute, const QString &label)
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
    attributeChanged(node, attribute, Observer::Change::Label);
}

void StyleSheet::setAttributeValue(ElementNode *node, int attribute, const QString &value)
{
    AttributeNode &target = node->attributes[size_t(attribute)];
    target.setText(target.name(), value);
    target.edit = std::max(target.edit, SourceEdit::Value);
    touch(node);
    attributeChanged(node, attribute, Observer::Change::Label);
}

void StyleSheet::deleteAttribute(int element, int attribute)
{
    deleteAttribute(m_elements[size_t(element)].get(), attribute);
}

void StyleSheet::deleteAttribute(ElementNode *node, int attribute)
{
    takeAttribute(node, attribute);
}

void StyleSheet::deleteAttributes(int element)
{
    deleteAttributes(m_elements[size_t(element)].get());
}

void StyleSheet::deleteAttributes(ElementNode *node)
{
    if (node->attributes.empty())
        return;
    const int findings = int(std::count_if(node->attributes.begin(), node->attributes.end(),
                                           [](const AttributeNode &a) { return bool(a.finding); }));
    if (m_observer)
        m_observer->aboutToRemove(node, 0, int(node->attributes.size()) - 1);
    node->attributes.clear();
    touch(node);
    if (m_observer)
        m_observer->removed();
    if (findings)
        countFinding(node, -findings);
}

void StyleSheet::insertAttribute(ElementNode *node, int row, AttributeNode attribute)
{
    row = std::clamp(row, 0, int(node->attributes.size()));
    const bool finding = bool(attribute.finding);
    if (m_observer)
        m_observer->aboutToInsert(node, row, row);
    node->attributes.insert(node->attributes.begin() + row, std::move(attribute));
    touch(node);
    if (m_observer)
        m_observer->inserted();
    if (finding)
        countFinding(node, +1);
}

AttributeNode StyleSheet::takeAttribute(ElementNode *node, int row)
{
    if (m_observer)
        m_observer->aboutToRemove(node, row, row);
    AttributeNode taken = std::move(node->attributes[size_t(row)]);
    node->attributes.erase(node->attributes.begin() + row);
    touch(node);
    if (m_observer)
        m_observer->removed();
    if (taken.finding)
        countFinding(node, -1);
    return taken;
}

void StyleSheet::replaceAttribute(ElementNode *node, int row, AttributeNode attribute)
{
    const int delta = int(bool(attribute.finding)) - int(bool(node->attributes[size_t(row)].finding));
    node->attributes[size_t(row)] = std::move(attribute);
    touch(node);
    attributeChanged(node, row, Observer::Change::Label);
    if (delta)
        countFinding(node, delta);
}

std::unique_ptr<ElementNode> StyleSheet::takeElement(int position)
{
    if (m_observer)
        m_observer->aboutToRemove(nullptr, position, position);
    std::unique_ptr<ElementNode> taken = std::move(m_elements[size_t(position)]);
    m_elements.erase(m_elements.begin() + position);
    renumberFrom(position);
    m_findingCount -= taken->findings;
    if (m_observer)
        m_observer->removed();
    return taken;
}

void StyleSheet::insertElement(int position, std::unique_ptr<ElementNode> node)
{
    position = std::clamp(position, 0, elementCount());
    if (m_observer)
        m_observer->aboutToInsert(nullptr, position, position);
    node->parent = nullptr;
    m_findingCount += node->findings;
    m_elements.insert(m_elements.begin() + position, std::move(node));
    renumberFrom(position);
    if (m_observer)
        m_observer->inserted();
}

void StyleSheet::insertNode(ElementNode *parent, int row, std::unique_ptr<ElementNode> node)
{
    if (!parent) {
        insertElement(row, std::move(node));
        return;
    }
    row = std::clamp(row, 0, int(parent->children.size()));
    const int first = int(parent->attributes.size()) + row;
    if (m_observer)
        m_observer->aboutToInsert(parent, first, first);
    node->parent = parent;
    const int findings = node->findings;
    parent->children.insert(parent->children.begin() + row, std::move(node));
    for (size_t i = size_t(row); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
    touch(parent);
    if (m_observer)
        m_observer->inserted();
    if (findings)
        countFinding(parent, findings);
}

std::unique_ptr<ElementNode> StyleSheet::takeNode(ElementNode *parent, int row)
{
    if (!parent)
        return takeElement(row);
    const int first = int(parent->attributes.size()) + row;
    if (m_observer)
        m_observer->aboutToRemove(parent, first, first);
    std::unique_ptr<ElementNode> taken = std::move(parent->children[size_t(row)]);
    parent->children.erase(parent->children.begin() + row);
    for (size_t i = size_t(row); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
    touch(parent);
    if (m_observer)
        m_observer->removed();
    if (taken->findings)
        countFinding(parent, -taken->findings);
    taken->parent = nullptr;
    return taken;
}

std::vector<int> StyleSheet::pathOf(const ElementNode *node)
{
    std::vector<int> path;
    appendPathOf(node, path);
    return path;
}

void StyleSheet::appendPathOf(const ElementNode *node, std::vector<int> &paths)
{
    const size_t start = paths.size();
    for (; node; node = node->parent)
        paths.push_back(node->row);
    std::reverse(paths.begin() + qsizetype(start), paths.end());
}

ElementNode *StyleSheet::nodeAt(std::span<const int> path) const
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

void StyleSheet::countFinding(ElementNode *node, int delta, bool announce)
{
    m_findingCount += delta;
    for (; node; node = node->parent) {
        const bool held = node->findings != 0;
        node->findings += delta;
        if (announce && held != (node->findings != 0))
            nodeChanged(node, Observer::Change::HeldFindings);
    }
}

void StyleSheet::setFinding(const ElementNode *constNode, int attribute, const QString &reason)
{
    // The sheet owns its nodes; the check hands them back as it read them.
    ElementNode *node = const_cast<ElementNode *>(constNode);
    AttributeNode &target = node->attributes[size_t(attribute)];
    if (reason.isEmpty() ? !target.finding : target.finding && *target.finding == reason)
        return;
    const int delta = reason.isEmpty() ? -1 : target.finding ? 0 : +1;
    if (reason.isEmpty())
        target.finding.reset();
    else
        target.finding = std::make_unique<QString>(reason);
    attributeChanged(node, attribute, Observer::Change::Finding);
    if (delta)
        countFinding(node, delta);
}

void StyleSheet::clearFindings(ElementNodes &top)
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

void StyleSheet::replaceFindings(std::vector<FindingMark> marks)
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
    if (m_observer && !m_elements.empty())
        m_observer->changed(nullptr, 0, elementCount() - 1, Observer::Change::Finding);
}
