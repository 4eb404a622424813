#include "ValueChecker.h"

#include "Failure.h"
#include "TableStore.h"

#include <algorithm>
#include <vector>

using namespace Check;

namespace {

// Edits between two names (insertions, deletions, substitutions and swaps of two
// neighbours), given up as soon as it exceeds the limit.
int distance(QStringView a, QStringView b, int limit)
{
    if (std::abs(a.size() - b.size()) > limit)
        return limit + 1;
    const qsizetype n = b.size();
    std::vector<int> before(std::size_t(n + 1)), previous(std::size_t(n + 1)), current(std::size_t(n + 1));
    for (qsizetype j = 0; j <= n; ++j)
        previous[std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        int best = current[0];
        for (qsizetype j = 1; j <= n; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int value = std::min({previous[std::size_t(j)] + 1, current[std::size_t(j - 1)] + 1,
                                  previous[std::size_t(j - 1)] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                value = std::min(value, before[std::size_t(j - 2)] + 1);
            current[std::size_t(j)] = value;
            best = std::min(best, value);
        }
        if (best > limit)
            return limit + 1;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[std::size_t(n)];
}

bool isVendorPrefixed(QStringView name)
{
    return name.size() > 2 && name[0] == u'-' && name[1] != u'-';
}

// A shortened copy of a piece of the value for a message.
QString quoted(QStringView text)
{
    constexpr qsizetype Limit = 40;
    if (text.size() <= Limit)
        return text.toString();
    return text.first(Limit).toString() + QStringLiteral("...");
}

} // namespace

ValueChecker::ValueChecker() : m_matcher(std::make_unique<ValueMatcher>(m_grammar, m_types)) {}

ValueChecker::~ValueChecker() = default;

void ValueChecker::open(const QString &path)
{
    const struct
    {
        const char *table;
        const char *field;
        bool properties;
    } tables[] = {{"properties", "Property", true}, {"syntaxes", "Name", false}};
    for (const auto &table : tables) {
        TableStore store;
        TableStore::Layout layout;
        layout.table = QString::fromLatin1(table.table);
        layout.firstField = QString::fromLatin1(table.field);
        layout.valuesField = QStringLiteral("Syntax");
        store.open(path, layout);
        for (store.first(); !store.eof(); store.next()) {
            const QString syntax = store.valuesLines().join(u' ');
            if (table.properties)
                addProperty(store.firstField(), syntax);
            else
                addNamedSyntax(store.firstField(), syntax);
        }
    }
}

void ValueChecker::addProperty(const QString &name, const QString &syntax)
{
    m_grammar.addProperty(name, syntax);
    m_verdicts.clear();
    m_unknownNames.clear();
}

void ValueChecker::addNamedSyntax(const QString &name, const QString &syntax)
{
    m_grammar.addNamedSyntax(name, syntax);
    m_colorsReady = false;
    m_verdicts.clear();
}

void ValueChecker::prepareColors() const
{
    if (m_colorsReady)
        return;
    std::vector<QString> keywords;
    for (const char *name : {"named-color", "system-color", "deprecated-system-color"}) {
        const std::vector<QString> words = m_grammar.keywordList(QString::fromLatin1(name));
        keywords.insert(keywords.end(), words.begin(), words.end());
    }
    m_types.setColorKeywords(std::move(keywords));
    m_colorsReady = true;
}

const QString &ValueChecker::lowerName(QStringView property) const
{
    for (const QChar c : property) {
        if (c.unicode() >= 0x80) {
            // Beyond ASCII, as the text's own lower-casing does it.
            m_name = property.toString().toLower();
            return m_name;
        }
    }
    m_name.resize(property.size());
    QChar *out = m_name.data();
    for (const QChar c : property) {
        const char16_t u = c.unicode();
        *out++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + (u'a' - u'A')) : u);
    }
    return m_name;
}

bool ValueChecker::isKnownProperty(QStringView property) const
{
    return m_grammar.hasProperty(lowerName(property.trimmed()));
}

bool ValueChecker::isColorKeyword(QStringView word) const
{
    prepareColors();
    return m_types.isColorKeyword(word);
}

QString ValueChecker::suggestion(QStringView property) const
{
    const QString name = property.trimmed().toString().toLower();
    QString best;
    // Within two edits, and fewer than half the name's letters, so that a short name
    // ("src") is not taken for another short one ("r").
    int bestDistance = std::min<int>(2, int(name.size() - 1) / 2) + 1;
    for (const QString &known : m_grammar.propertyNames()) {
        if (known.startsWith(u'-') != name.startsWith(u'-'))
            continue;
        const int d = distance(name, known, bestDistance - 1);
        if (d < bestDistance) {
            bestDistance = d;
            best = known;
        }
    }
    return best;
}

ValueChecker::Result ValueChecker::check(QStringView property, QStringView value) const
{
    // Most names come without white space around them, which is seen at once.
    if (!property.isEmpty() && (property.front().isSpace() || property.back().isSpace()))
        property = property.trimmed();
    // Custom properties take any value.
    if (property.startsWith(u"--"))
        return {};
    const QString &name = lowerName(property);
    const int root = m_grammar.propertyRoot(name);
    if (root == -1) {
        const QString written = property.toString();
        auto known = m_unknownNames.constFind(written);
        if (known != m_unknownNames.constEnd())
            return *known;
        Result result;
        if (isVendorPrefixed(name)) {
            result = {Verdict::Undecided, QStringLiteral("%1 is not in the catalogue").arg(name)};
        } else {
            const QString close = suggestion(name);
            if (close.isEmpty())
                result = {Verdict::UnknownProperty, QStringLiteral("unknown property %1").arg(property)};
            else
                result = {Verdict::UnknownProperty,
                          QStringLiteral("unknown property %1 (did you mean %2?)").arg(property, close)};
        }
        if (m_unknownNames.size() >= qsizetype(VerdictCacheLimit))
            m_unknownNames.clear();
        m_unknownNames.insert(written, result);
        return result;
    }
    if (root == -2)
        return {Verdict::Undecided, QStringLiteral("the syntax of %1 cannot be read").arg(name)};

    if (m_cacheResting > 0) {
        --m_cacheResting;
        return checkValue(root, name, value);
    }
    // A sheet whose values hardly repeat (generated ones) would only pay for copies and
    // table growth: when few of a stretch of look-ups find a verdict, the table rests
    // for a longer stretch, then is tried again.
    if (++m_cacheLookups == CacheWindow) {
        if (m_cacheHits < CacheWindow / 8) {
            m_cacheResting = CacheRest;
            m_verdicts.clear();
        }
        m_cacheLookups = m_cacheHits = 0;
    }
    const auto cached = m_verdicts.find(VerdictKeyView{root, value});
    if (cached != m_verdicts.end()) {
        ++m_cacheHits;
        return cached->second;
    }
    Result result = checkValue(root, name, value);
    if (m_verdicts.size() >= VerdictCacheLimit)
        m_verdicts.clear();
    m_verdicts.emplace(VerdictKey{root, value.toString()}, result);
    return result;
}

ValueChecker::Result ValueChecker::checkValue(int root, const QString &name, QStringView value) const
{
    m_tokens.read(value);
    const ValueTokens &tokens = m_tokens;
    if (tokens.size() == 0)
        return {Verdict::Invalid, QStringLiteral("%1 has no value").arg(name)};
    // A value that uses var(), env(), attr() or a custom function (--name(), defined by
    // @function) is decided only when it is used; a CSS-wide keyword alone fits every
    // property.
    bool vendorValue = false;
    for (int i = 0; i < tokens.size(); ++i) {
        const Css::TokenType type = tokens[i].type;
        if (type == Css::TokenType::Function) {
            const QStringView function = tokens.functionName(i);
            if (function.compare(u"var", Qt::CaseInsensitive) == 0 ||
                function.compare(u"env", Qt::CaseInsensitive) == 0 ||
                function.compare(u"attr", Qt::CaseInsensitive) == 0 || function.startsWith(u"--"))
                return {};
            vendorValue = vendorValue || isVendorPrefixed(function);
        } else if (type == Css::TokenType::Ident) {
            vendorValue = vendorValue || isVendorPrefixed(tokens.textOf(i));
        }
    }
    if (tokens.size() == 1 && tokens[0].type == Css::TokenType::Ident &&
        DataTypes::isCssWideKeyword(tokens.textOf(0)))
        return {};

    prepareColors();
    switch (m_matcher->match(root, tokens)) {
    case ValueMatcher::Outcome::Matched:
        return {};
    case ValueMatcher::Outcome::GaveUp:
        return {Verdict::Undecided, QStringLiteral("the value of %1 is too complex to check").arg(name)};
    case ValueMatcher::Outcome::NotMatched:
        break;
    }
    // Browsers keep some prefixed values the syntaxes do not list; those are not reported.
    if (vendorValue)
        return {Verdict::Undecided, QStringLiteral("the value of %1 uses a vendor-prefixed name").arg(name)};
    const int at = m_matcher->furthest();
    if (at >= tokens.size())
        return {Verdict::Invalid, QStringLiteral("the value of %1 is incomplete").arg(name)};
    const QString piece = quoted(tokens.componentText(at));
    if (at == 0 && tokens.componentEnd(0) == tokens.size())
        return {Verdict::Invalid, QStringLiteral("'%1' is not a valid value for %2").arg(piece, name)};
    return {Verdict::Invalid,
            QStringLiteral("'%1' is not valid at this place in a value for %2").arg(piece, name)};
}
