#include "DocumentCheck.h"

#include "CssTokenizer.h"

#include <QDir>

namespace {

// Whether a finding says a browser drops the declaration (rather than that a later one
// overrides it).
bool saysDropped(DeclarationCheck::Kind kind)
{
    return kind == DeclarationCheck::Kind::UnknownProperty || kind == DeclarationCheck::Kind::InvalidValue;
}

// Whether an @supports around the node asks for this very declaration: the author keeps
// it from the browsers that lack it, so it is not reported as dropped.
bool guardedBySupports(const ElementNode &node, const AttributeNode &attribute)
{
    const QStringView supports = u"@supports";
    for (const ElementNode *block = node.parent; block; block = block->parent) {
        const QStringView label = block->label;
        if (block->kind == NodeKind::Block && label.startsWith(supports, Qt::CaseInsensitive) &&
            DeclarationCheck::supportsAsksFor(label.sliced(supports.size()), attribute.name(),
                                              attribute.value()))
            return true;
    }
    return false;
}

} // namespace

void DocumentCheck::open(const QString &folder)
{
    m_check.open(QDir(folder).filePath(QStringLiteral("syntax.db")));
}

DeclarationCheck::Context DocumentCheck::contextOf(const ElementNode &node)
{
    if (node.kind != NodeKind::AtRule)
        return DeclarationCheck::Context::Style;
    const QStringView page = u"@page";
    const QStringView label = node.label;
    if (label.startsWith(page, Qt::CaseInsensitive) &&
        (label.size() == page.size() || !Css::isNameCharacter(label[page.size()])))
        return DeclarationCheck::Context::Page;
    return DeclarationCheck::Context::Descriptors;
}

DeclarationCheck::Form DocumentCheck::formOf(DocumentForm form)
{
    return form == DocumentForm::Editor ? DeclarationCheck::Form::Editor : DeclarationCheck::Form::Standard;
}

void DocumentCheck::gather(const ElementNode &node) const
{
    m_block.clear();
    m_block.reserve(node.attributes.size());
    for (const AttributeNode &attribute : node.attributes)
        m_block.push_back({attribute.name(), attribute.value(), attribute.hasValue(), attribute.line});
}

void DocumentCheck::checkNode(const ElementNode &node, DocumentForm form,
                              std::vector<DeclarationCheck::Finding> &findings) const
{
    gather(node);
    m_check.checkBlock(m_block, contextOf(node), formOf(form), findings);
    for (size_t i = 0; i < findings.size(); ++i)
        if (saysDropped(findings[i].kind) && guardedBySupports(node, node.attributes[i]))
            findings[i] = {};
}

DeclarationCheck::Finding DocumentCheck::checkDeclaration(const ElementNode &node, int attribute,
                                                          DocumentForm form) const
{
    gather(node);
    DeclarationCheck::Finding finding = m_check.checkOne(m_block, attribute, contextOf(node), formOf(form));
    if (saysDropped(finding.kind) && guardedBySupports(node, node.attributes[size_t(attribute)]))
        return {};
    return finding;
}

void DocumentCheck::checkTree(const ElementNodes &top, DeclarationCheck::Form form,
                              std::vector<Finding> &out) const
{
    // Every node in file order, at any depth.
    forEachNode(top, [&](const ElementNode &node) {
        if (node.attributes.empty())
            return true;
        gather(node);
        m_check.checkBlock(m_block, contextOf(node), form, m_findings);
        for (size_t i = 0; i < m_findings.size(); ++i) {
            const AttributeNode &attribute = node.attributes[i];
            if (!m_findings[i] || (saysDropped(m_findings[i].kind) && guardedBySupports(node, attribute)))
                continue;
            out.push_back({&node, int(i), attribute.line, attribute.column, m_findings[i].kind,
                           std::move(m_findings[i].reason)});
        }
        return true;
    });
}

std::vector<DocumentCheck::Finding> DocumentCheck::checkDocument(const StyleSheetModel &model) const
{
    std::vector<Finding> out;
    checkTree(model.elements(), formOf(model.form()), out);
    return out;
}
