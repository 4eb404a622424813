#include "Document.h"

#include "DocumentEdits.h"

#include <QSignalBlocker>

const QString Document::NotSaved = QStringLiteral("Not Saved");
const QStringList Document::PseudoClassLabels = {QStringLiteral("A:Active"), QStringLiteral("A:Hover"),
                                                 QStringLiteral("A:Visited")};

Document::Document() : m_currentFileName(NotSaved)
{
    // Every step done, undone or redone decides the flag: back where the history began
    // it is the flag of that state, anywhere else the document is modified.
    QObject::connect(&m_undoStack, &QUndoStack::indexChanged, &m_undoStack, [this] { followHistory(); });
    // A label edited in the tree goes through the history like every other edit, and a
    // label that would not read back as what its node is, is refused. A window puts its
    // own handler in place to say why.
    m_elements.setEditHandler([this](const QModelIndex &index, const QString &text) {
        return DocumentEdits::labelRefusal(*this, index, text, nullptr).isEmpty() &&
               DocumentEdits::editLabel(*this, index, text);
    });
}

void Document::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    if (m_modifiedObserver)
        m_modifiedObserver(modified);
}

void Document::followHistory()
{
    setModified(m_undoStack.isClean() ? m_modifiedAtClean : true);
}

void Document::resetHistory(bool modified)
{
    {
        const QSignalBlocker quiet(&m_undoStack);
        m_undoStack.clear();
    }
    m_modifiedAtClean = modified;
    setModified(modified);
}

void Document::markSaved()
{
    m_undoStack.setClean();
    m_modifiedAtClean = false;
    setModified(false);
}

void Document::applyElementList(const Catalogue::ElementList &list)
{
    ElementNodes nodes;
    nodes.reserve(list.nodes.size());
    for (const auto &spec : list.nodes) {
        auto node = std::make_unique<ElementNode>();
        node->label = spec.label;
        node->picture = spec.picture;
        nodes.push_back(std::move(node));
    }
    if (list.aPosition)
        m_aPosition = *list.aPosition;
    m_catalogueNodes = int(list.nodes.size());
    m_hiddenRows = list.rows - m_catalogueNodes;
    m_pseudoPosition = -1;
    m_sheet.replaceContent(std::move(nodes), {}, m_newForm);
}

void Document::addPseudoClassNodes()
{
    if (hasPseudoClassNodes())
        return;
    // The "A" node stands at aPosition - 4 when "A" is a shown row of this build.
    const int aNode = m_aPosition - 1 - m_hiddenRows;
    const bool aShown = m_aPosition > m_hiddenRows && aNode < m_catalogueNodes &&
                        m_elements.element(aNode).label == QLatin1String("A");
    const int position = aShown ? aNode + 1 : m_catalogueNodes;
    for (int i = 0; i < 3; ++i)
        m_sheet.insertElement(position + i, PseudoClassLabels.at(i), PseudoClassPicture);
    m_pseudoPosition = position;
}

int Document::positionOfRow(int row) const
{
    const int position = row - 1 - m_hiddenRows;
    if (row < 1 || position < 0)
        return -1;
    if (hasPseudoClassNodes() && position >= m_pseudoPosition)
        return position + 3;
    return position;
}
