#include "MatchedRules.h"

#include "StyleSheetModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

// The parts of a selector list, split at the commas outside brackets and strings.
QStringList splitList(const QString &text)
{
    QStringList parts;
    int depth = 0;
    qsizetype start = 0;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            ++i;
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('(') || c == QLatin1Char('[')) {
            ++depth;
        } else if (c == QLatin1Char(')') || c == QLatin1Char(']')) {
            --depth;
        } else if (c == QLatin1Char(',') && depth == 0) {
            parts << text.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    parts << text.mid(start).trimmed();
    parts.removeAll(QString());
    return parts;
}

// A selector with the differences of writing taken out: comments, quotes, case, blanks
// around combinators and brackets, runs of blanks, "::" before the four pseudo-elements
// that also take ":".
QString selectorKey(QString text)
{
    static const QRegularExpression comments(QStringLiteral("/\\*.*?\\*/"),
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression around(QStringLiteral(" ?([>+~,()\\[\\]=|^$*]) ?"));
    static const QRegularExpression legacy(QStringLiteral("::(before|after|first-line|first-letter)\\b"));
    text.remove(comments);
    text.remove(QLatin1Char('"'));
    text.remove(QLatin1Char('\''));
    text = text.toLower().replace(blanks, QStringLiteral(" ")).trimmed();
    text.replace(around, QStringLiteral("\\1"));
    text.replace(legacy, QStringLiteral(":\\1"));
    return text;
}

// The at-rule's name of a node's label, without a vendor prefix ("@-webkit-keyframes x":
// "keyframes").
QString atRuleName(const QString &label)
{
    if (!label.startsWith(QLatin1Char('@')))
        return QString();
    qsizetype end = 1;
    while (end < label.size() && (label[end].isLetterOrNumber() || label[end] == QLatin1Char('-')))
        ++end;
    QString name = label.mid(1, end - 1).toLower();
    if (name.startsWith(QLatin1Char('-'))) {
        const qsizetype dash = name.indexOf(QLatin1Char('-'), 1);
        name = dash < 0 ? QString() : name.mid(dash + 1);
    }
    return name;
}

bool sameKind(const ElementNode &node, const MatchedRules::Step &step)
{
    if (step.kind == QLatin1String("rule"))
        return node.kind == NodeKind::Rule;
    return node.kind != NodeKind::Rule && atRuleName(node.label) == step.kind;
}

bool agrees(const ElementNode &node, const MatchedRules::Step &step)
{
    if (!sameKind(node, step))
        return false;
    if (step.kind == QLatin1String("rule"))
        return MatchedRules::sameSelector(node.label, step.text);
    // An at-rule agrees when its prelude holds the browser's text of it (the condition,
    // the layer's name), written either way.
    // A prelude's blanks around ":" are the writer's choice too ("(min-width:576px)").
    static const QRegularExpression colon(QStringLiteral(" ?: ?"));
    const QString prelude = selectorKey(node.label.mid(node.label.indexOf(QLatin1Char(' ')) + 1))
                                .replace(colon, QStringLiteral(":"));
    const QString wanted = selectorKey(step.text).replace(colon, QStringLiteral(":"));
    return wanted == prelude || (wanted.isEmpty() && node.label.indexOf(QLatin1Char(' ')) < 0);
}

// The top-level nodes in the order the standard text the pages get holds them: rules
// without anything in them that were not read from the file (the catalogue's elements the
// tree offers) are not written, and those the catalogue gave declarations without the
// user placing them follow the sheet's own nodes.
std::vector<ElementNode *> writtenTopLevel(const StyleSheetModel &model)
{
    const bool usable = model.source().isStandard();
    const auto worthWriting = [](const ElementNode &node) {
        return node.kind != NodeKind::Rule || node.made || !node.attributes.empty() ||
               !node.children.empty() || node.comments || node.endComments;
    };
    bool anyRead = false;
    for (const auto &node : model.elements())
        anyRead = anyRead || (usable && node->hasSource());
    std::vector<ElementNode *> written, later;
    bool seenRead = false;
    for (const auto &node : model.elements()) {
        if (usable && node->hasSource()) {
            written.push_back(node.get());
            seenRead = true;
        } else if (worthWriting(*node)) {
            (anyRead && !seenRead && !node->made ? later : written).push_back(node.get());
        }
    }
    written.insert(written.end(), later.begin(), later.end());
    return written;
}

QString stringOf(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

} // namespace

bool MatchedRules::sameSelector(const QString &label, const QString &browserText)
{
    const QStringList mine = splitList(label);
    const QStringList theirs = splitList(browserText);
    if (mine.size() != theirs.size())
        return false;
    for (qsizetype i = 0; i < mine.size(); ++i) {
        const QString a = selectorKey(mine[i]);
        const QString b = selectorKey(theirs[i]);
        // A nested selector without "&" is written by the browser with "& " before it.
        if (a != b && QStringLiteral("& ") + a != b && QStringLiteral("&") + a != b)
            return false;
    }
    return true;
}

bool MatchedRules::fromJson(const QByteArray &json, MatchedRules &out)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject top = document.object();
    if (!top.value(QLatin1String("rules")).isArray())
        return false;
    out = MatchedRules();
    out.element = stringOf(top, "element");
    for (const QJsonValue &ruleValue : top.value(QLatin1String("rules")).toArray()) {
        const QJsonObject object = ruleValue.toObject();
        Rule rule;
        rule.selector = stringOf(object, "selector");
        rule.fullSelector = stringOf(object, "fullSelector");
        rule.layer = stringOf(object, "layer");
        const QJsonArray path = object.value(QLatin1String("path")).toArray();
        const QJsonArray chain = object.value(QLatin1String("chain")).toArray();
        if (path.isEmpty() || path.size() != chain.size())
            return false;
        for (qsizetype i = 0; i < path.size(); ++i) {
            const int index = path[i].toInt(-1);
            if (index < 0)
                return false;
            const QJsonObject step = chain[i].toObject();
            rule.chain.append(Step{index, stringOf(step, "kind"), stringOf(step, "text"),
                                   step.value(QLatin1String("occurrence")).toInt(-1)});
        }
        const QJsonArray specificity = object.value(QLatin1String("specificity")).toArray();
        for (qsizetype i = 0; i < 3 && i < specificity.size(); ++i)
            rule.specificity[i] = specificity[i].toInt();
        for (const QJsonValue &block : object.value(QLatin1String("blocks")).toArray())
            rule.blocks << block.toString();
        for (const QJsonValue &declarationValue : object.value(QLatin1String("declarations")).toArray()) {
            const QJsonObject d = declarationValue.toObject();
            rule.declarations.append(Declaration{stringOf(d, "property"), stringOf(d, "value"),
                                                 d.value(QLatin1String("important")).toBool(),
                                                 d.value(QLatin1String("overridden")).toBool()});
        }
        out.rules.append(rule);
    }
    return true;
}

ElementNode *MatchedRules::findNode(const StyleSheetModel &model, const Rule &rule)
{
    std::vector<ElementNode *> level = writtenTopLevel(model);
    ElementNode *found = nullptr;
    for (const Step &step : rule.chain) {
        ElementNode *agreeing = nullptr;
        if (step.occurrence >= 0) {
            int before = 0;
            for (size_t i = 0; i < level.size() && !agreeing; ++i)
                if (agrees(*level[i], step) && before++ == step.occurrence)
                    agreeing = level[i];
        }
        ElementNode *sameKindNode = nullptr;
        for (size_t i = size_t(step.index); i < level.size() && !agreeing; ++i) {
            if (agrees(*level[i], step))
                agreeing = level[i];
            else if (!sameKindNode && sameKind(*level[i], step))
                sameKindNode = level[i];
        }
        found = agreeing ? agreeing : sameKindNode;
        if (!found)
            return nullptr;
        level.clear();
        for (const auto &child : found->children)
            level.push_back(child.get());
    }
    return found;
}

QString MatchedRules::resolvedSelector(const ElementNode *node)
{
    if (!node || node->kind != NodeKind::Rule)
        return QString();
    const ElementNode *parent = node->parent;
    while (parent && parent->kind != NodeKind::Rule)
        parent = parent->parent;
    const QString own = node->label.trimmed();
    if (!parent)
        return own;
    const QString outer = QStringLiteral(":is(") + resolvedSelector(parent) + QLatin1Char(')');
    QStringList parts;
    for (const QString &part : splitList(own))
        parts << (part.contains(QLatin1Char('&')) ? QString(part).replace(QLatin1Char('&'), outer)
                                                  : outer + QLatin1Char(' ') + part);
    return parts.join(QStringLiteral(", "));
}
