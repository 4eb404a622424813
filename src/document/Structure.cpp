#include "Structure.h"

#include "CssTokenizer.h"

namespace {

// The standard name of a vendor at-rule name: "@-webkit-keyframes" -> "@keyframes".
QString standardName(QStringView name)
{
    if (name.size() > 2 && name[1] == QLatin1Char('-')) {
        const qsizetype dash = name.indexOf(QLatin1Char('-'), 2);
        if (dash > 0)
            return QString(QLatin1Char('@')).append(name.sliced(dash + 1));
    }
    return name.toString();
}

bool isOneOf(QStringView name, std::initializer_list<const char *> names)
{
    for (const char *known : names)
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isKeyframes(const ElementNode &node)
{
    return node.kind == NodeKind::Block &&
           standardName(Structure::atRuleName(node.label)).compare(u"@keyframes", Qt::CaseInsensitive) == 0;
}

// Whether `node` stands inside a style rule, at any depth (its content is then that of
// a nested rule).
bool insideStyleRule(const ElementNode &node)
{
    for (const ElementNode *around = node.parent; around; around = around->parent)
        if (around->kind == NodeKind::Rule)
            return true;
    return false;
}

QString nameOrLabel(const ElementNode &node)
{
    const QStringView name = Structure::atRuleName(node.label);
    return name.isEmpty() ? node.label : name.toString();
}

} // namespace

bool Structure::isRuleBlockName(QStringView name)
{
    return isOneOf(standardName(name), {"@media", "@supports", "@container", "@layer", "@document", "@scope",
                                        "@starting-style", "@keyframes"});
}

bool Structure::isDeclarationBlockName(QStringView name)
{
    return isOneOf(name, {"@font-face", "@page", "@property", "@counter-style", "@viewport", "@-ms-viewport",
                          "@font-feature-values", "@font-palette-values"});
}

bool Structure::isNestableName(QStringView name)
{
    return isOneOf(name, {"@media", "@supports", "@container", "@layer", "@scope", "@starting-style"});
}

QStringView Structure::atRuleName(QStringView label)
{
    qsizetype start = 0;
    while (start < label.size() && label[start].isSpace())
        ++start;
    if (start == label.size() || label[start] != QLatin1Char('@'))
        return {};
    qsizetype end = start + 1;
    while (end < label.size() && Css::isNameCharacter(label[end]))
        ++end;
    return end > start + 1 ? label.sliced(start, end - start) : QStringView();
}

const std::vector<Structure::AtRuleOffer> &Structure::atRuleOffers()
{
    static const std::vector<AtRuleOffer> offers{
        {QStringLiteral("@media"), QStringLiteral("@media (max-width: 600px)"), NodeKind::Block},
        {QStringLiteral("@supports"), QStringLiteral("@supports (display: grid)"), NodeKind::Block},
        {QStringLiteral("@container"), QStringLiteral("@container (min-width: 400px)"), NodeKind::Block},
        {QStringLiteral("@layer"), QStringLiteral("@layer base"), NodeKind::Block},
        {QStringLiteral("@font-face"), QStringLiteral("@font-face"), NodeKind::AtRule},
        {QStringLiteral("@keyframes"), QStringLiteral("@keyframes fade"), NodeKind::Block},
        {QStringLiteral("@page"), QStringLiteral("@page"), NodeKind::AtRule},
        {QStringLiteral("@property"), QStringLiteral("@property --my-length"), NodeKind::AtRule},
    };
    return offers;
}

QString Structure::newRuleLabel(const ElementNode *parent)
{
    if (parent && isKeyframes(*parent))
        return QStringLiteral("50%");
    if (parent && (parent->kind == NodeKind::Rule || insideStyleRule(*parent)))
        return QStringLiteral("& .new-rule");
    return QStringLiteral(".new-rule");
}

QString Structure::placeRefusal(const ElementNode *parent, NodeKind kind, QStringView label)
{
    const QStringView name = atRuleName(label);
    const bool startOnly =
        kind == NodeKind::Statement && isOneOf(name, {"@import", "@charset", "@namespace"});
    if (!parent)
        return {};
    switch (parent->kind) {
    case NodeKind::Statement:
        return QStringLiteral("%1 is a statement: it holds nothing.").arg(nameOrLabel(*parent));
    case NodeKind::AtRule:
        return QStringLiteral("%1 holds declarations only.").arg(nameOrLabel(*parent));
    case NodeKind::Rule:
    case NodeKind::Block:
        break;
    }
    if (startOnly)
        return QStringLiteral("%1 stands only at the start of the sheet, outside every block.").arg(name);
    if (parent->kind == NodeKind::Rule && parent->parent && isKeyframes(*parent->parent))
        return QStringLiteral("A keyframe holds declarations only.");
    if (isKeyframes(*parent)) {
        if (kind == NodeKind::Rule)
            return {};
        return QStringLiteral("%1 holds keyframes (from, to, 50%...) only.").arg(nameOrLabel(*parent));
    }
    // In a style rule, and in the blocks inside one, stand nested rules and the
    // conditional and grouping at-rules; the others only outside style rules.
    if (parent->kind == NodeKind::Rule || insideStyleRule(*parent)) {
        if (kind == NodeKind::Rule || (kind != NodeKind::Statement && isNestableName(name)) ||
            (kind == NodeKind::Statement && isOneOf(name, {"@layer"})))
            return {};
        return QStringLiteral("A rule cannot hold %1: it stands at the top level of the sheet or in a block "
                              "such as @media.")
            .arg(name.isEmpty() ? QStringLiteral("this") : name.toString());
    }
    return {};
}

ElementNode *Structure::placeFor(ElementNode *selected, NodeKind kind, QStringView label)
{
    for (ElementNode *node = selected; node; node = node->parent)
        if (placeRefusal(node, kind, label).isEmpty())
            return node;
    return nullptr;
}

QString Structure::declarationsRefusal(const ElementNode &node)
{
    switch (node.kind) {
    case NodeKind::Rule:
    case NodeKind::AtRule:
        return {};
    case NodeKind::Statement:
        return QStringLiteral("%1 is a statement: it holds no declarations.").arg(nameOrLabel(node));
    case NodeKind::Block:
        break;
    }
    if (isKeyframes(node))
        return QStringLiteral("%1 holds keyframes, not declarations: add a keyframe (New Rule) and put the "
                              "declarations in it.")
            .arg(nameOrLabel(node));
    if (isNestableName(atRuleName(node.label)) && insideStyleRule(node))
        return {};
    return QStringLiteral("%1 holds rules, not declarations: add a rule inside it (New Rule) and put the "
                          "declarations in it.")
        .arg(nameOrLabel(node));
}

QString Structure::kindRefusal(const ElementNode &node, QStringView label)
{
    const QStringView name = atRuleName(label);
    if (node.kind == NodeKind::Rule) {
        if (label.trimmed().startsWith(QLatin1Char('@')))
            return QStringLiteral(
                "A rule's selector cannot start with \"@\": make an at-rule with New At-rule.");
        return {};
    }
    if (name.isEmpty())
        return QStringLiteral("An at-rule's label starts with \"@\" and its name (@media, @font-face...).");
    switch (node.kind) {
    case NodeKind::Block:
        if (isDeclarationBlockName(name))
            return QStringLiteral("%1 holds declarations, not the rules of this block.").arg(name);
        break;
    case NodeKind::AtRule:
        if (isRuleBlockName(name))
            return QStringLiteral("%1 holds rules, not the declarations of this node.").arg(name);
        break;
    case NodeKind::Statement:
        if (isDeclarationBlockName(name) || (isRuleBlockName(name) && !isOneOf(name, {"@layer"})))
            return QStringLiteral("%1 needs a block: this statement cannot become one.").arg(name);
        break;
    case NodeKind::Rule:
        break;
    }
    return {};
}
