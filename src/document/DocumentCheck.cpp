#include "DocumentCheck.h"

#include "CssTokenizer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>

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

bool isKeyframes(const ElementNode *node)
{
    if (!node || node->kind != NodeKind::Block)
        return false;
    // Most blocks (@media...) are told by the plain name after "@"; a name with escapes or
    // characters beyond ASCII is read as the tokenizer reads it.
    const QStringView label = node->label;
    if (label.isEmpty() || label[0] != u'@')
        return false;
    qsizetype end = 1;
    for (; end < label.size(); ++end) {
        const char16_t c = label[end].unicode();
        if (c == u'\\' || c >= 0x80) {
            const QString name = AtRuleCheck::nameOf(label);
            return name == u"keyframes" || (name.startsWith(u'-') && name.endsWith(u"-keyframes"));
        }
        if (!Css::isNameCharacter(label[end]))
            break;
    }
    const QStringView name = label.sliced(1, end - 1);
    // "@" followed by something else than a name is no at-rule.
    const auto nameStart = [](QChar c) { return c.isLetter() || c == u'_'; };
    if (name.isEmpty() || !(nameStart(name[0]) ||
                            (name[0] == u'-' && name.size() > 1 && (nameStart(name[1]) || name[1] == u'-'))))
        return false;
    const QStringView keyframes = u"keyframes";
    if (name.size() == keyframes.size())
        return name.compare(keyframes, Qt::CaseInsensitive) == 0;
    return name.startsWith(u'-') && name.size() > keyframes.size() &&
           name[name.size() - keyframes.size() - 1] == u'-' &&
           name.last(keyframes.size()).compare(keyframes, Qt::CaseInsensitive) == 0;
}

// Whether a rule stands inside a style rule, at any depth (where its selectors are
// relative to that rule's).
bool isNested(const ElementNode &node)
{
    for (const ElementNode *up = node.parent; up; up = up->parent)
        if (up->kind == NodeKind::Rule)
            return true;
    return false;
}

// A keyframe's selectors: from, to or a percentage from 0% to 100%, separated by commas.
QString keyframeSelectorProblem(QStringView selectors)
{
    for (QStringView part : selectors.split(u',')) {
        part = part.trimmed();
        const QString word = part.toString().toLower();
        if (word == u"from" || word == u"to")
            continue;
        Css::Tokenizer tokenizer(part);
        const Css::Token token = tokenizer.next();
        if (token.type == Css::TokenType::Percentage && token.length == part.size()) {
            const double percent = Css::numberValue(part, token);
            if (percent >= 0 && percent <= 100)
                continue;
        }
        return QStringLiteral(
                   "a browser drops this keyframe: %1 is not from, to or a percentage from 0%% to 100%%")
            .arg(part.isEmpty() ? QStringLiteral("an empty selector") : part.toString())
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return {};
}

// The longhands each common shorthand sets: a shorthand written after one of them in
// the same rule overrides it.
const QHash<QString, QStringList> &shorthands()
{
    static const QHash<QString, QStringList> table = [] {
        QHash<QString, QStringList> t;
        const auto sides = [](const QString &before, const QString &after) {
            QStringList list;
            for (const char *side : {"top", "right", "bottom", "left"})
                list << before + QLatin1String(side) + after;
            return list;
        };
        t[QStringLiteral("margin")] = sides(QStringLiteral("margin-"), {});
        t[QStringLiteral("padding")] = sides(QStringLiteral("padding-"), {});
        t[QStringLiteral("inset")] = {QStringLiteral("top"), QStringLiteral("right"),
                                      QStringLiteral("bottom"), QStringLiteral("left")};
        t[QStringLiteral("border-width")] = sides(QStringLiteral("border-"), QStringLiteral("-width"));
        t[QStringLiteral("border-style")] = sides(QStringLiteral("border-"), QStringLiteral("-style"));
        t[QStringLiteral("border-color")] = sides(QStringLiteral("border-"), QStringLiteral("-color"));
        t[QStringLiteral("border")] =
            t[QStringLiteral("border-width")] + t[QStringLiteral("border-style")] +
            t[QStringLiteral("border-color")] +
            QStringList{QStringLiteral("border-width"), QStringLiteral("border-style"),
                        QStringLiteral("border-color")};
        for (const char *side : {"top", "right", "bottom", "left"}) {
            const QString name = QStringLiteral("border-") + QLatin1String(side);
            t[name] = {name + QStringLiteral("-width"), name + QStringLiteral("-style"),
                       name + QStringLiteral("-color")};
        }
        t[QStringLiteral("border-radius")] = {
            QStringLiteral("border-top-left-radius"), QStringLiteral("border-top-right-radius"),
            QStringLiteral("border-bottom-right-radius"), QStringLiteral("border-bottom-left-radius")};
        const auto prefixed = [](const QString &prefix, std::initializer_list<const char *> parts) {
            QStringList list;
            for (const char *part : parts)
                list << prefix + QLatin1String(part);
            return list;
        };
        t[QStringLiteral("background")] =
            prefixed(QStringLiteral("background-"), {"color", "image", "repeat", "position", "position-x",
                                                     "position-y", "size", "attachment", "origin", "clip"});
        t[QStringLiteral("font")] =
            prefixed(QStringLiteral("font-"), {"style", "variant", "weight", "stretch", "size", "family"}) +
            QStringList{QStringLiteral("line-height")};
        t[QStringLiteral("flex")] = prefixed(QStringLiteral("flex-"), {"grow", "shrink", "basis"});
        t[QStringLiteral("outline")] = prefixed(QStringLiteral("outline-"), {"color", "style", "width"});
        t[QStringLiteral("list-style")] =
            prefixed(QStringLiteral("list-style-"), {"type", "position", "image"});
        t[QStringLiteral("transition")] = prefixed(
            QStringLiteral("transition-"), {"property", "duration", "timing-function", "delay", "behavior"});
        t[QStringLiteral("animation")] = prefixed(
            QStringLiteral("animation-"), {"name", "duration", "timing-function", "delay", "iteration-count",
                                           "direction", "fill-mode", "play-state"});
        t[QStringLiteral("overflow")] = {QStringLiteral("overflow-x"), QStringLiteral("overflow-y")};
        t[QStringLiteral("gap")] = {QStringLiteral("row-gap"), QStringLiteral("column-gap")};
        t[QStringLiteral("text-decoration")] =
            prefixed(QStringLiteral("text-decoration-"), {"line", "style", "color", "thickness"});
        t[QStringLiteral("place-items")] = {QStringLiteral("align-items"), QStringLiteral("justify-items")};
        t[QStringLiteral("place-content")] = {QStringLiteral("align-content"),
                                              QStringLiteral("justify-content")};
        t[QStringLiteral("place-self")] = {QStringLiteral("align-self"), QStringLiteral("justify-self")};
        t[QStringLiteral("columns")] = {QStringLiteral("column-width"), QStringLiteral("column-count")};
        return t;
    }();
    return table;
}

bool isImportant(QStringView value)
{
    value = value.trimmed();
    const QStringView word = u"important";
    if (!value.endsWith(word, Qt::CaseInsensitive))
        return false;
    value = value.chopped(word.size()).trimmed();
    return value.endsWith(u'!');
}

// Whether a value calls var(), in any case: most values do not, which a look at each
// "(" tells.
bool callsVar(QStringView value)
{
    for (qsizetype i = 3; i < value.size(); ++i)
        if (value[i] == u'(' && (value[i - 3].unicode() | 0x20) == u'v' &&
            (value[i - 2].unicode() | 0x20) == u'a' && (value[i - 1].unicode() | 0x20) == u'r')
            return true;
    return false;
}

// Whether every var() of a value names a custom property the sheet defines, as a look at
// the text tells: then none is undefined, with or without fallback. False also where the
// text does not tell it at once (a comment or an escape after "var(", a name beyond
// ASCII): the tokenizer reads those.
bool namesOnlyDefined(QStringView value, const QSet<QStringView> &defined)
{
    const qsizetype n = value.size();
    for (qsizetype i = 3; i < n; ++i) {
        if (value[i] != u'(' || (value[i - 3].unicode() | 0x20) != u'v' ||
            (value[i - 2].unicode() | 0x20) != u'a' || (value[i - 1].unicode() | 0x20) != u'r')
            continue;
        qsizetype at = i + 1;
        while (at < n && Css::isWhitespace(value[at]))
            ++at;
        const qsizetype start = at;
        if (at + 1 >= n || value[at] != u'-' || value[at + 1] != u'-')
            return false;
        at += 2;
        while (at < n && value[at].unicode() < 0x80 && Css::isNameCharacter(value[at]))
            ++at;
        if (at < n && (value[at] == u'\\' || value[at].unicode() >= 0x80))
            return false;
        if (!defined.contains(value.sliced(start, at - start)))
            return false;
        i = at - 1;
    }
    return true;
}

// The custom properties a var() without fallback in a value names.
void findUnfallenVariables(QStringView value, QStringList &names)
{
    Css::Tokenizer tokenizer(value);
    for (Css::Token t = tokenizer.next(); t.type != Css::TokenType::EndOfFile; t = tokenizer.next()) {
        if (t.type != Css::TokenType::Function ||
            Css::tokenText(value, t).compare(u"var(", Qt::CaseInsensitive) != 0)
            continue;
        Css::Token name = tokenizer.next();
        while (name.type == Css::TokenType::Whitespace || name.type == Css::TokenType::Comment)
            name = tokenizer.next();
        if (name.type != Css::TokenType::Ident)
            continue;
        Css::Token after = tokenizer.next();
        while (after.type == Css::TokenType::Whitespace || after.type == Css::TokenType::Comment)
            after = tokenizer.next();
        if (after.type == Css::TokenType::CloseParen)
            names << Css::tokenText(value, name).toString();
    }
}

bool hasCapital(QStringView text)
{
    for (QChar c : text)
        if (c >= u'A' && c <= u'Z')
            return true;
    return false;
}

// Calls `each` with the characters of a text as QString::simplified gives them (no
// blanks at the ends, a single space for each run of blanks within), without a copy.
template<typename Each> void forEachSimplified(QStringView text, Each each)
{
    bool blank = false;
    bool any = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            blank = true;
            continue;
        }
        if (blank && any)
            each(u' ');
        each(c.unicode());
        blank = false;
        any = true;
    }
}

size_t simplifiedHash(QStringView text)
{
    size_t hash = 14695981039346656037ULL;
    forEachSimplified(text, [&hash](char16_t c) {
        hash ^= c;
        hash *= 1099511628211ULL;
    });
    return hash;
}

bool sameSimplified(QStringView a, QStringView b)
{
    QString first;
    QString second;
    if (a == b)
        return true;
    forEachSimplified(a, [&first](char16_t c) { first += QChar(c); });
    forEachSimplified(b, [&second](char16_t c) { second += QChar(c); });
    return first == second;
}

// Whether a name may be one of the shorthands of the shorthand hint: a look at its length
// and first letter spares most names the table's look-up.
bool mayBeShorthand(QStringView name)
{
    struct Filter
    {
        quint64 lengths = 0;
        bool firsts[128] = {};
    };
    static const Filter filter = [] {
        Filter f;
        for (auto it = shorthands().cbegin(); it != shorthands().cend(); ++it) {
            f.lengths |= quint64(1) << it.key().size();
            f.firsts[it.key().front().unicode()] = true;
        }
        return f;
    }();
    if (name.isEmpty() || name.size() >= 64)
        return false;
    const char16_t first = name.front().unicode();
    if (first >= 0x80)
        return true; // lowered beyond ASCII, it may be anything
    const char16_t lower = first >= u'A' && first <= u'Z' ? char16_t(first | 0x20) : first;
    return (filter.lengths & (quint64(1) << name.size())) && filter.firsts[lower];
}

} // namespace

// What one run of checkDocument carries through the tree.
struct DocumentCheck::Walk
{
    Walk(const Options &options, DeclarationCheck::Form form, std::vector<Finding> &out)
        : options(options), form(form), out(out)
    {
    }
    const Options &options;
    DeclarationCheck::Form form;
    std::vector<Finding> &out;
    // The hint kinds asked for.
    bool hints = false; // any
    bool shorthandHint = false;
    bool duplicateHint = false;
    bool emptyHint = false;
    bool importantHint = false;
    bool variableHint = false;
    // The custom properties the sheet defines (for var() hints), as the document writes
    // them: it does not change while it is checked.
    QSet<QStringView> customProperties;
    // The rules read from the file the walk went through: room for their hints.
    size_t readRules = 0;
};

std::vector<DeclarationCheck::Kind> DocumentCheck::allHints()
{
    using Kind = DeclarationCheck::Kind;
    return {Kind::ShorthandOverride, Kind::DuplicateSelector, Kind::EmptyRule, Kind::ImportantInKeyframes,
            Kind::UndefinedVariable};
}

void DocumentCheck::open(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("syntax.db"));
    m_check.open(path);
    m_selectors.open(path);
    m_atRules.open(path);
    m_support.open(path);
}

DeclarationCheck::Finding DocumentCheck::descriptorFinding(const ElementNode &node, int attribute) const
{
    if (node.kind != NodeKind::AtRule || contextOf(node) != DeclarationCheck::Context::Descriptors)
        return {};
    const AttributeNode &declaration = node.attributes[size_t(attribute)];
    if (!declaration.hasValue())
        return {};
    const AtRuleCheck::Result result =
        m_atRules.checkDescriptor(AtRuleCheck::nameOf(node.label), declaration.name());
    if (!result)
        return {};
    return {DeclarationCheck::Kind::UnknownDescriptor, result.reason};
}

DeclarationCheck::Finding DocumentCheck::checkLabel(const ElementNode &node, QStringView label) const
{
    using Kind = DeclarationCheck::Kind;
    if (node.kind == NodeKind::Rule) {
        if (isKeyframes(node.parent)) {
            const QString problem = keyframeSelectorProblem(label);
            return problem.isEmpty() ? DeclarationCheck::Finding{}
                                     : DeclarationCheck::Finding{Kind::InvalidSelector, problem};
        }
        if (m_selectors.isEmpty())
            return {};
        const SelectorCheck::Result result = m_selectors.check(label, isNested(node));
        if (!result)
            return {};
        return {result.problem == SelectorCheck::Problem::Vendor ? Kind::VendorSelector
                                                                 : Kind::InvalidSelector,
                result.reason};
    }
    const QString name = AtRuleCheck::nameOf(label);
    if (node.parent && node.kind == NodeKind::Statement &&
        (name == u"import" || name == u"namespace" || name == u"charset"))
        return {Kind::IgnoredStatement, QStringLiteral("ignored by browsers: @%1 inside a block").arg(name)};
    const AtRuleCheck::Result result = m_atRules.checkAtRule(label, node.kind == NodeKind::Statement);
    if (result)
        return {result.problem == AtRuleCheck::Problem::UnknownAtRule ? Kind::UnknownAtRule
                                                                      : Kind::InvalidPrelude,
                result.reason};
    return {};
}

DeclarationCheck::Finding DocumentCheck::checkNodeItself(const ElementNode &node) const
{
    DeclarationCheck::Finding own = checkLabel(node, node.label);
    if (own || node.kind != NodeKind::AtRule)
        return own;
    std::vector<std::pair<QString, QString>> descriptors;
    for (const AttributeNode &attribute : node.attributes)
        descriptors.emplace_back(attribute.name().trimmed().toString().toLower(),
                                 attribute.value().toString());
    const AtRuleCheck::Result required =
        m_atRules.checkRequired(AtRuleCheck::nameOf(node.label), descriptors);
    if (required)
        return {DeclarationCheck::Kind::InvalidPrelude, required.reason};
    return {};
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
    for (size_t i = 0; i < findings.size(); ++i) {
        if (saysDropped(findings[i].kind) && guardedBySupports(node, node.attributes[i]))
            findings[i] = {};
        if (!findings[i])
            findings[i] = descriptorFinding(node, int(i));
    }
}

DeclarationCheck::Finding DocumentCheck::checkDeclaration(const ElementNode &node, int attribute,
                                                          DocumentForm form) const
{
    gather(node);
    DeclarationCheck::Finding finding = m_check.checkOne(m_block, attribute, contextOf(node), formOf(form));
    if (saysDropped(finding.kind) && guardedBySupports(node, node.attributes[size_t(attribute)]))
        return {};
    if (!finding)
        return descriptorFinding(node, attribute);
    return finding;
}

DeclarationCheck::Finding DocumentCheck::checkValue(const ElementNode &node, QStringView name,
                                                    QStringView value) const
{
    return m_check.check({name, value}, contextOf(node), DeclarationCheck::Form::Standard);
}

DeclarationCheck::Finding DocumentCheck::supportOfNode(const ElementNode &node,
                                                       const SupportCheck::Target &target) const
{
    QString reason;
    if (node.kind == NodeKind::Rule) {
        if (!isKeyframes(node.parent))
            reason = m_support.checkSelector(node.label, target);
    } else {
        reason = m_support.checkAtRule(AtRuleCheck::nameOf(node.label), target);
    }
    if (reason.isEmpty())
        return {};
    return {DeclarationCheck::Kind::Unsupported, reason};
}

void DocumentCheck::checkTree(const ElementNodes &top, Walk &walk) const
{
    forEachNode(top, [&](const ElementNode &node) {
        checkNodeIn(node, walk);
        return true;
    });
}

void DocumentCheck::checkNodeIn(const ElementNode &node, Walk &walk) const
{
    using Kind = DeclarationCheck::Kind;
    const bool hintsOn = walk.hints;
    const bool supportOn = !walk.options.support.isOff();
    walk.readRules += node.kind == NodeKind::Rule && node.hasSource();
    // In the editor's own form the catalogue's rules stand in the tree without
    // declarations; they are not written, so not judged.
    const bool written = walk.form == DeclarationCheck::Form::Standard || !node.attributes.empty() ||
                         node.kind != NodeKind::Rule;
    if (walk.options.nodes && written) {
        DeclarationCheck::Finding own = checkNodeItself(node);
        if (!own && supportOn)
            own = supportOfNode(node, walk.options.support);
        if (own)
            walk.out.push_back({&node, -1, node.line, node.column, own.kind, std::move(own.reason)});
    }
    if (!node.attributes.empty()) {
        gather(node);
        m_check.checkBlock(m_block, contextOf(node), walk.form, m_findings);
        const bool keyframe = hintsOn && isKeyframes(node.parent);
        // Which later shorthand of the same rule overrides each declaration (-1: none).
        // The names are looked up without copies; one in capitals is lowered first.
        std::vector<QString> &names = m_names;
        std::vector<int> &overriddenBy = m_overriddenBy;
        overriddenBy.clear();
        const auto shorthandAt = [&](size_t j) {
            return mayBeShorthand(node.attributes[j].name().trimmed());
        };
        bool shorthand = false;
        for (size_t j = 1; walk.shorthandHint && !shorthand && j < node.attributes.size(); ++j)
            shorthand = shorthandAt(j);
        if (shorthand) {
            names.clear();
            for (const AttributeNode &attribute : node.attributes) {
                const QStringView name = attribute.name().trimmed();
                names.push_back(hasCapital(name) ? name.toString().toLower()
                                                 : QString::fromRawData(name.data(), name.size()));
            }
            for (size_t j = 1; j < names.size(); ++j) {
                if (!shorthandAt(j))
                    continue;
                const auto found = shorthands().constFind(names[j]);
                if (found == shorthands().cend())
                    continue;
                if (overriddenBy.empty())
                    overriddenBy.assign(names.size(), -1);
                for (size_t i = 0; i < j; ++i)
                    if (overriddenBy[i] < 0 && found->contains(names[i]))
                        overriddenBy[i] = int(j);
            }
        }
        for (size_t i = 0; i < m_findings.size(); ++i) {
            const AttributeNode &attribute = node.attributes[i];
            if (m_findings[i] && saysDropped(m_findings[i].kind) && guardedBySupports(node, attribute))
                m_findings[i] = {};
            if (!m_findings[i])
                m_findings[i] = descriptorFinding(node, int(i));
            if (!m_findings[i] && hintsOn) {
                if (keyframe && walk.importantHint && isImportant(attribute.value()))
                    m_findings[i] = {Kind::ImportantInKeyframes,
                                     QStringLiteral("ignored by browsers: !important inside @keyframes")};
            }
            if (!m_findings[i] && !overriddenBy.empty() && overriddenBy[i] >= 0) {
                const AttributeNode &later = node.attributes[size_t(overriddenBy[i])];
                const QString &shorthand = names[size_t(overriddenBy[i])];
                m_findings[i] = {Kind::ShorthandOverride,
                                 later.line > 0
                                     ? QStringLiteral("%1 on line %2 overrides %3")
                                           .arg(shorthand, QString::number(later.line), names[i])
                                     : QStringLiteral("the later %1 overrides %2").arg(shorthand, names[i])};
            }
            if (!m_findings[i] && walk.variableHint && !walk.customProperties.isEmpty() &&
                !namesOnlyDefined(attribute.value(), walk.customProperties)) {
                for (const QString &name : unfallenVariables(attribute.value()))
                    if (!walk.customProperties.contains(name)) {
                        m_findings[i] = {
                            Kind::UndefinedVariable,
                            QStringLiteral("%1 is defined nowhere in this sheet and var() has no "
                                           "fallback")
                                .arg(name)};
                        break;
                    }
            }
            if (!m_findings[i] && supportOn && attribute.hasValue()) {
                QString reason =
                    m_support.checkDeclaration(attribute.name(), attribute.value(), walk.options.support);
                if (!reason.isEmpty() && !guardedBySupports(node, attribute))
                    m_findings[i] = {Kind::Unsupported, std::move(reason)};
            }
            if (!m_findings[i])
                continue;
            walk.out.push_back({&node, int(i), attribute.line, attribute.column, m_findings[i].kind,
                                std::move(m_findings[i].reason)});
        }
    }
}

const QStringList &DocumentCheck::unfallenVariables(QStringView value) const
{
    static const QStringList none;
    if (!callsVar(value))
        return none;
    return cachedIn(m_unfallen, value, size_t(1) << 16, [&] {
        QStringList names;
        findUnfallenVariables(value, names);
        return names;
    });
}

// @charset, @import and @namespace count only at the start of a sheet: @charset first,
// then @import (among @layer statements), then @namespace. Later ones are ignored.
void DocumentCheck::checkStatements(const ElementNodes &nodes, std::vector<Finding> &out) const
{
    bool first = true;
    bool otherRule = false; // a rule or an at-rule that ends the place of @import
    bool namespaces = false;
    for (const auto &node : nodes) {
        if (node->kind == NodeKind::Rule) {
            // The catalogue's rules without declarations are not written: they end nothing.
            if (node->hasSource() || !node->attributes.empty() || !node->children.empty()) {
                otherRule = true;
                first = false;
            }
            continue;
        }
        const QString name = AtRuleCheck::nameOf(node->label);
        const bool statement = node->kind == NodeKind::Statement;
        QString problem;
        if (statement && name == u"charset") {
            if (!first)
                problem = QStringLiteral("ignored by browsers: @charset after the start of the sheet");
        } else if (statement && name == u"import") {
            if (otherRule || namespaces)
                problem = QStringLiteral("ignored by browsers: @import after rules");
        } else if (statement && name == u"namespace") {
            if (otherRule)
                problem = QStringLiteral("ignored by browsers: @namespace after rules");
            namespaces = true;
        } else if (statement && name == u"layer") {
            // @layer statements may stand before @import, and anywhere else.
        } else if (!name.isEmpty()) {
            // An unknown at-rule is dropped as it is read: it ends nothing.
            if (m_atRules.checkAtRule(node->label, statement).problem != AtRuleCheck::Problem::UnknownAtRule)
                otherRule = true;
        }
        first = false;
        if (!problem.isEmpty())
            out.push_back({node.get(), -1, node->line, node->column, DeclarationCheck::Kind::IgnoredStatement,
                           problem});
    }
}

// The hints over the nodes of each context: an empty rule, the same selector twice. The
// contexts are gone through from a list of those still to do, not calls within calls.
void DocumentCheck::checkHints(const ElementNodes &top, Walk &walk) const
{
    using Kind = DeclarationCheck::Kind;
    std::vector<std::pair<const ElementNode *, const ElementNodes *>> contexts{{nullptr, &top}};
    // The rules of a context by their selector, simplified: by its hash, the selectors
    // compared on a match.
    QMultiHash<size_t, const ElementNode *> selectors;
    // One reason text per earlier line: a sheet that repeats itself names the same first
    // rules again and again, and its findings then share their texts.
    QHash<int, QString> sameAsLine;
    // Room for a hint per rule at once: a sheet that repeats itself has tens of thousands
    // of them, and growing the findings step by step copies them and touches new memory
    // again and again.
    if (walk.duplicateHint || walk.emptyHint)
        walk.out.reserve(walk.out.size() + walk.readRules);
    const auto sameSelectorReason = [&sameAsLine](int line) {
        if (line <= 0)
            return QStringLiteral("the same selector as an earlier rule in this context");
        QString &reason = sameAsLine[line];
        if (reason.isEmpty())
            reason = QStringLiteral("the same selector as line %1 in this context").arg(line);
        return reason;
    };
    while (!contexts.empty()) {
        const auto [parent, nodes] = contexts.back();
        contexts.pop_back();
        selectors.clear();
        if (walk.duplicateHint)
            selectors.reserve(qsizetype(nodes->size()));
        for (const auto &node : *nodes) {
            if (node->kind == NodeKind::Rule && node->hasSource()) {
                if (walk.emptyHint && node->attributes.empty() && node->children.empty())
                    walk.out.push_back({node.get(), -1, node->line, node->column, Kind::EmptyRule,
                                        QStringLiteral("an empty rule")});
                if (walk.duplicateHint && !isKeyframes(parent)) {
                    const size_t key = simplifiedHash(node->label);
                    auto seen = selectors.constFind(key);
                    while (seen != selectors.cend() && seen.key() == key &&
                           !sameSimplified((*seen)->label, node->label))
                        ++seen;
                    if (seen != selectors.cend() && seen.key() == key)
                        walk.out.push_back({node.get(), -1, node->line, node->column, Kind::DuplicateSelector,
                                            sameSelectorReason((*seen)->line)});
                    else
                        selectors.insert(key, node.get());
                }
            }
            if (!node->children.empty())
                contexts.push_back({node.get(), &node->children});
        }
    }
}

namespace {

void collectCustomProperties(const ElementNodes &top, QSet<QStringView> &names)
{
    forEachNode(top, [&names](const ElementNode &node) {
        for (const AttributeNode &attribute : node.attributes) {
            const QStringView name = attribute.name().trimmed();
            if (name.startsWith(u"--"))
                names.insert(name);
        }
        if (node.kind == NodeKind::AtRule && AtRuleCheck::nameOf(node.label) == u"property")
            names.insert(AtRuleCheck::preludeOf(node.label));
        return true;
    });
}

} // namespace

std::vector<DocumentCheck::Finding> DocumentCheck::checkDocument(const StyleSheetModel &model) const
{
    return checkDocument(model, Options());
}

std::vector<DocumentCheck::Finding> DocumentCheck::checkDocument(const StyleSheetModel &model,
                                                                 const Options &options) const
{
    Run run(*this, model, options);
    run.step(-1);
    return run.takeFindings();
}

struct DocumentCheck::Run::State
{
    State(const DocumentCheck &check, const ElementNodes &top, Options options, DeclarationCheck::Form form)
        : check(check), top(top), options(std::move(options)), walk{this->options, form, out}
    {
    }
    const DocumentCheck &check;
    const ElementNodes &top;
    Options options;
    std::vector<Finding> out;
    Walk walk;
    size_t next = 0;
    bool started = false;
    bool finished = false;
};

DocumentCheck::Run::Run(const DocumentCheck &check, const StyleSheetModel &model, Options options)
    : m(std::make_unique<State>(check, model.elements(), std::move(options), formOf(model.form())))
{
}

DocumentCheck::Run::~Run() = default;

bool DocumentCheck::Run::done() const
{
    return m->finished;
}

bool DocumentCheck::Run::step(qint64 budgetMs)
{
    if (m->finished)
        return true;
    Walk &walk = m->walk;
    if (!m->started) {
        m->started = true;
        using Kind = DeclarationCheck::Kind;
        for (Kind kind : m->options.hints) {
            walk.hints = true;
            walk.shorthandHint = walk.shorthandHint || kind == Kind::ShorthandOverride;
            walk.duplicateHint = walk.duplicateHint || kind == Kind::DuplicateSelector;
            walk.emptyHint = walk.emptyHint || kind == Kind::EmptyRule;
            walk.importantHint = walk.importantHint || kind == Kind::ImportantInKeyframes;
            walk.variableHint = walk.variableHint || kind == Kind::UndefinedVariable;
        }
        if (walk.variableHint)
            collectCustomProperties(m->top, walk.customProperties);
    }
    QElapsedTimer clock;
    clock.start();
    while (m->next < m->top.size()) {
        const ElementNode &node = *m->top[m->next++];
        m->check.checkNodeIn(node, walk);
        m->check.checkTree(node.children, walk);
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs && m->next < m->top.size())
            return false;
    }
    if (m->options.nodes)
        m->check.checkStatements(m->top, m->out);
    if (walk.hints)
        m->check.checkHints(m->top, walk);
    m->finished = true;
    return true;
}

std::vector<DocumentCheck::Finding> DocumentCheck::Run::takeFindings()
{
    return std::move(m->out);
}
