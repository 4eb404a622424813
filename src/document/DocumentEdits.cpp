#include "DocumentEdits.h"

#include "AttributeLabel.h"
#include "Catalogue.h"
#include "Document.h"
#include "Strings.h"

namespace {

const QString NewElementLabel = QStringLiteral("New Element");
const QString NewPropertyLabel = QStringLiteral("New Property");

// The level of a node of the document's element tree; -1 for no selection or an index
// that does not belong to an element tree.
int levelIn(const StyleSheetModel *model, const QModelIndex &index)
{
    if (!index.isValid() || index.model() != model)
        return -1;
    return StyleSheetModel::levelOf(index);
}

int levelOf(const Document &document, const QModelIndex &index)
{
    return levelIn(&document.elements(), index);
}

int levelOf(const QModelIndex &index)
{
    return levelIn(qobject_cast<const StyleSheetModel *>(index.model()), index);
}

} // namespace

QModelIndex DocumentEdits::dropOnElements(Document &document, const QModelIndex &target,
                                          const QString &attributeLabel, int kind,
                                          const QString &choiceParentLabel)
{
    document.setModified(true);
    const int level = levelOf(document, target);
    if (level != StyleSheetModel::ElementLevel && level != StyleSheetModel::AttributeLevel)
        return {};
    StyleSheetModel &model = document.elements();
    ElementNode *node = model.nodeOf(target);
    if (!node->takesDeclarations())
        return {}; // a block or a statement holds no declarations
    AttributeNode attribute = choiceParentLabel.isEmpty()
                                  ? AttributeNode(attributeLabel, {}, kind)
                                  : AttributeNode(choiceParentLabel, attributeLabel, kind);
    return model.attributeIndex(node, model.appendAttribute(node, std::move(attribute)));
}

QModelIndex DocumentEdits::newElement(Document &document)
{
    document.setModified(true);
    StyleSheetModel &model = document.elements();
    return model.elementIndex(model.appendElement(NewElementLabel, 0));
}

QModelIndex DocumentEdits::newProperty(Document &document, const QModelIndex &selected)
{
    document.setModified(true);
    StyleSheetModel &model = document.elements();
    ElementNode *node = nullptr;
    switch (levelOf(document, selected)) {
    case StyleSheetModel::RootLevel:
        node = model.elementCount() > 0 ? &model.element(0) : nullptr;
        break;
    case StyleSheetModel::ElementLevel:
    case StyleSheetModel::AttributeLevel:
        node = model.nodeOf(selected);
        break;
    default:
        break;
    }
    if (!node || !node->takesDeclarations())
        return {};
    return model.attributeIndex(node, model.appendAttribute(node, AttributeNode::nameOnly(NewPropertyLabel)));
}

bool DocumentEdits::deletePropertyEnabled(const QModelIndex &selected)
{
    return levelOf(selected) == StyleSheetModel::AttributeLevel;
}

void DocumentEdits::deleteProperty(Document &document, const QModelIndex &selected)
{
    document.setModified(true);
    StyleSheetModel &model = document.elements();
    switch (levelOf(document, selected)) {
    case StyleSheetModel::ElementLevel:
        model.deleteAttributes(model.nodeOf(selected));
        break;
    case StyleSheetModel::AttributeLevel:
        model.deleteAttribute(model.nodeOf(selected), selected.row());
        break;
    default:
        break;
    }
}

bool DocumentEdits::writeValue(Document &document, const QModelIndex &selected, const QString &valueText)
{
    if (levelOf(document, selected) != StyleSheetModel::AttributeLevel)
        return false;
    StyleSheetModel &model = document.elements();
    ElementNode *node = model.nodeOf(selected);
    if (node->attributes[size_t(selected.row())].hasValue())
        model.setAttributeValue(node, selected.row(), valueText);
    else
        model.relabelAttribute(node, selected.row(), valueText); // a name without value is replaced
    document.setModified(true);
    return true;
}

void DocumentEdits::setForm(Document &document, DocumentForm form)
{
    if (document.form() == form)
        return;
    document.setForm(form);
    document.setModified(true);
}

QString DocumentEdits::numberValue(int value)
{
    return QString::number(value);
}

QString DocumentEdits::quotedValue(const QString &text)
{
    return AttributeLabel::quote(text);
}

ValueKind DocumentEdits::editorKind(const QModelIndex &selected)
{
    if (levelOf(selected) != StyleSheetModel::AttributeLevel)
        return KindNone;
    switch (selected.data(StyleSheetModel::PictureRole).toInt()) {
    case KindColor:
        return KindColor;
    case KindUrl:
        return KindUrl;
    case KindFont:
        return KindFont;
    case KindNumber:
        return KindNumber;
    case KindChoice:
        return KindChoice;
    default:
        return KindNone;
    }
}

DocumentEdits::EditorPreset DocumentEdits::presetFor(const Document &document, Catalogue &catalogue,
                                                     const QModelIndex &selected)
{
    EditorPreset preset;
    if (levelOf(document, selected) != StyleSheetModel::AttributeLevel)
        return preset;
    preset.kind = editorKind(selected);
    if (preset.kind == KindNone)
        return preset;
    const AttributeNode &attribute = *document.elements().attributeOf(selected);
    preset.text = AttributeLabel::unquote(attribute.hasValue() ? attribute.value() : attribute.name());
    if (preset.kind == KindNumber) {
        preset.number = Strings::toInt(preset.text);
    } else if (preset.kind == KindChoice) {
        preset.name = attribute.hasValue() ? attribute.name().toString() : QString();
        preset.choices = catalogue.findAttributeRow(preset.name);
    }
    return preset;
}
