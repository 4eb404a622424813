#include "DeclarationCheck.h"

#include "CssTokenizer.h"

#include <QHash>
#include <QVarLengthArray>
#include <deque>

namespace {

// A name without the white space around it; most names have none, which is seen at once.
QStringView trimmedName(QStringView name)
{
    if (name.isEmpty() || (!name.front().isSpace() && !name.back().isSpace()))
        return name;
    return name.trimmed();
}

bool isVendorPrefixed(QStringView name)
{
    return name.size() > 2 && name[0] == u'-' && name[1] != u'-';
}

// Names written for the old browsers of one maker only (*zoom, _height): every other
// browser drops them on purpose, so they are not reported.
bool isHack(QStringView name)
{
    return !name.isEmpty() && (name[0] == u'*' || name[0] == u'_');
}

bool sameName(QStringView a, QStringView b)
{
    // Names of different lengths differ also without regard to case (it is compared
    // character by character).
    if (a.size() != b.size())
        return false;
    // Custom properties are told apart by case; properties are not.
    if (a.startsWith(u"--"))
        return a == b;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The key of a property name in a table of names: as written for a custom property,
// else in lower case. A name already in lower case is its own key; any other is
// lowered into `store`, which keeps the keys while the table is used.
QStringView nameKey(QStringView name, std::deque<QString> &store)
{
    if (name.startsWith(u"--"))
        return name;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || (u >= u'A' && u <= u'Z')) {
            store.push_back(name.toString().toLower());
            return store.back();
        }
    }
    return name;
}

QStringView quotedContent(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return {};
}

// What a value is made of, as far as it tells an older browser from a newer one: the
// functions it calls, its keywords other than colour names, its units beyond the
// long-standing ones, hexadecimal colours with alpha, addresses; vendor-prefixed names,
// var()/env()/attr() and "!important".
struct Shape
{
    enum class Part : quint8 { Function, Keyword, Unit, AlphaHash, Url };
    struct Feature
    {
        Part part;
        QStringView text;
        bool operator==(const Feature &other) const
        {
            return part == other.part && text.compare(other.text, Qt::CaseInsensitive) == 0;
        }
    };
    QVarLengthArray<Feature, 8> features;
    bool vendor = false;
    bool substituted = false; // var(), env(), attr(), a custom function
    bool important = false;

    Shape(QStringView value, const ValueChecker &checker)
    {
        Css::Tokenizer tokenizer(value);
        Css::Token last[2]; // the two significant tokens before the current one
        for (;;) {
            const Css::Token token = tokenizer.next();
            if (token.type == Css::TokenType::EndOfFile)
                break;
            if (token.type == Css::TokenType::Whitespace || token.type == Css::TokenType::Comment)
                continue;
            const QStringView text = Css::tokenText(value, token);
            switch (token.type) {
            case Css::TokenType::Function: {
                const QStringView name = text.chopped(1);
                vendor = vendor || isVendorPrefixed(name);
                if (name.compare(u"var", Qt::CaseInsensitive) == 0 ||
                    name.compare(u"env", Qt::CaseInsensitive) == 0 ||
                    name.compare(u"attr", Qt::CaseInsensitive) == 0 || name.startsWith(u"--"))
                    substituted = true;
                add(Part::Function, name);
                break;
            }
            case Css::TokenType::Ident:
                if (isVendorPrefixed(text))
                    vendor = true;
                else if (!checker.isColorKeyword(text))
                    add(Part::Keyword, text);
                break;
            case Css::TokenType::Dimension: {
                const QStringView unit = Css::unit(value, token);
                if (!isLongStandingUnit(unit))
                    add(Part::Unit, unit);
                break;
            }
            case Css::TokenType::Hash:
                if (text.size() == 5 || text.size() == 9)
                    add(Part::AlphaHash, {});
                break;
            case Css::TokenType::Url:
            case Css::TokenType::BadUrl:
                add(Part::Url, {});
                break;
            default:
                break;
            }
            last[0] = last[1];
            last[1] = token;
        }
        important = last[1].type == Css::TokenType::Ident && last[0].type == Css::TokenType::Delim &&
                    Css::tokenText(value, last[0]) == u"!" &&
                    Css::tokenText(value, last[1]).compare(u"important", Qt::CaseInsensitive) == 0;
        if (important)
            features.removeOne(Feature{Part::Keyword, Css::tokenText(value, last[1])});
    }

    void add(Part part, QStringView text)
    {
        const Feature feature{part, text};
        if (!features.contains(feature))
            features.append(feature);
    }

    bool within(const Shape &other) const
    {
        for (const Feature &feature : features)
            if (!other.features.contains(feature))
                return false;
        return true;
    }

    // Units every browser in use has long understood; rem, the viewport units and the
    // newer ones are what fallbacks are written for.
    static bool isLongStandingUnit(QStringView unit)
    {
        static const char16_t *const units[] = {u"px", u"em", u"ex", u"in",  u"cm",   u"mm",  u"pt",
                                                u"pc", u"s",  u"ms", u"deg", u"grad", u"rad", u"turn"};
        for (const char16_t *known : units)
            if (unit.compare(QStringView(known), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
};

// The tokens of a text without blanks and comments, and without a final "!important".
struct SignificantTokens
{
    QStringView text;
    QVarLengthArray<Css::Token, 16> tokens;

    explicit SignificantTokens(QStringView source) : text(source)
    {
        Css::Tokenizer tokenizer(source);
        for (Css::Token token = tokenizer.next(); token.type != Css::TokenType::EndOfFile;
             token = tokenizer.next()) {
            if (token.type != Css::TokenType::Whitespace && token.type != Css::TokenType::Comment)
                tokens.append(token);
        }
    }
    QStringView at(qsizetype i) const { return Css::tokenText(text, tokens[i]); }
    bool isDelim(qsizetype i, QStringView c) const
    {
        return tokens[i].type == Css::TokenType::Delim && at(i) == c;
    }
    void dropImportant()
    {
        const qsizetype n = tokens.size();
        if (n >= 2 && tokens[n - 1].type == Css::TokenType::Ident &&
            at(n - 1).compare(u"important", Qt::CaseInsensitive) == 0 && isDelim(n - 2, u"!"))
            tokens.resize(n - 2);
    }
};

} // namespace

// An earlier declaration is a fallback for the next one of its property, and not
// overridden by it, when a browser may drop the later one and keep the earlier:
// - either value uses a vendor-prefixed keyword or function (display: -webkit-box;
//   display: flex), or the later one uses var(), env() or attr();
// - the later value uses something the earlier does not: a function (rgba(), calc(),
//   linear-gradient()), a keyword other than a colour name (text-align: left;
//   text-align: start), a unit beyond px, em, ex, in, cm, mm, pt, pc and the angles and
//   times (rem, vh, dvh...), a hexadecimal colour with alpha, or an address.
// And the earlier one wins, so it is not overridden either, when it is "!important" and
// the later one is not. Colour names, numbers, strings and long-standing units alone
// make no fallback: color: red; color: blue and margin: 0; margin: 4px are overridden.
bool DeclarationCheck::isFallback(QStringView earlier, QStringView later) const
{
    const Shape first(earlier, m_values);
    const Shape second(later, m_values);
    if (first.vendor || second.vendor || second.substituted)
        return true;
    if (first.important && !second.important)
        return true;
    return !second.within(first);
}

bool DeclarationCheck::supportsAsksFor(QStringView condition, QStringView name, QStringView value)
{
    const SignificantTokens test(condition);
    SignificantTokens wanted(value);
    wanted.dropImportant();
    name = trimmedName(name);
    if (name.isEmpty() || wanted.tokens.isEmpty())
        return false;
    const qsizetype n = test.tokens.size();
    for (qsizetype open = 0; open + 3 < n; ++open) {
        // "( name : value )", at any depth of the condition.
        if (test.tokens[open].type != Css::TokenType::OpenParen ||
            test.tokens[open + 1].type != Css::TokenType::Ident || !sameName(test.at(open + 1), name) ||
            test.tokens[open + 2].type != Css::TokenType::Colon)
            continue;
        if (open > 0 && test.tokens[open - 1].type == Css::TokenType::Ident &&
            test.at(open - 1).compare(u"not", Qt::CaseInsensitive) == 0)
            continue;
        const qsizetype first = open + 3;
        const qsizetype close = first + wanted.tokens.size();
        if (close >= n || test.tokens[close].type != Css::TokenType::CloseParen)
            continue;
        bool same = true;
        for (qsizetype i = 0; i < wanted.tokens.size() && same; ++i)
            same = test.tokens[first + i].type == wanted.tokens[i].type &&
                   test.at(first + i).compare(wanted.at(i), Qt::CaseInsensitive) == 0;
        if (same)
            return true;
    }
    return false;
}

DeclarationCheck::Own DeclarationCheck::own(const Declaration &declaration, Context context, Form form) const
{
    const QStringView name = trimmedName(declaration.name);
    if (!declaration.hasValue || name.isEmpty() || isHack(name) || context == Context::Descriptors)
        return {};
    if (context == Context::Page && !name.startsWith(u"--") && !m_values.isKnownProperty(name))
        return {};
    const ValueChecker::Result result = m_values.check(name, declaration.value);
    switch (result.verdict) {
    case ValueChecker::Verdict::Valid:
        return {{}, true};
    case ValueChecker::Verdict::Undecided:
        return {};
    case ValueChecker::Verdict::UnknownProperty:
        return {{Kind::UnknownProperty, result.reason}};
    case ValueChecker::Verdict::Invalid:
        break;
    }
    if (form == Form::Editor) {
        // The editors write some values in quotes; standard CSS wants them bare.
        const QStringView value = declaration.value.trimmed();
        const QStringView content = quotedContent(value);
        if (!content.trimmed().isEmpty() &&
            m_values.check(name, content).verdict == ValueChecker::Verdict::Valid)
            return {{Kind::QuotedValue, QStringLiteral("%1=%2 is not valid CSS").arg(name, value)}};
    }
    return {{Kind::InvalidValue, result.reason}};
}

DeclarationCheck::Finding DeclarationCheck::check(const Declaration &declaration, Context context,
                                                  Form form) const
{
    return own(declaration, context, form).finding;
}

DeclarationCheck::Finding DeclarationCheck::overriddenFinding(const Declaration &earlier,
                                                              const Own &earlierOwn, const Declaration &later,
                                                              const Own &laterOwn) const
{
    if (earlierOwn.finding || !earlier.hasValue || !later.hasValue)
        return earlierOwn.finding;
    // A later declaration a browser may drop leaves the earlier one in force.
    if (laterOwn.finding || !laterOwn.decided || isFallback(earlier.value, later.value))
        return {};
    if (later.line > 0)
        return {Kind::Overridden, QStringLiteral("overridden by line %1").arg(later.line)};
    return {Kind::Overridden,
            QStringLiteral("overridden by the next %1 declaration").arg(later.name.trimmed())};
}

qsizetype DeclarationCheck::nextOfSameName(std::span<const Declaration> block, qsizetype index)
{
    const QStringView name = trimmedName(block[std::size_t(index)].name);
    for (qsizetype i = index + 1; i < qsizetype(block.size()); ++i)
        if (sameName(trimmedName(block[std::size_t(i)].name), name))
            return i;
    return -1;
}

DeclarationCheck::Finding DeclarationCheck::checkOne(std::span<const Declaration> block, qsizetype index,
                                                     Context context, Form form) const
{
    const Declaration &declaration = block[std::size_t(index)];
    const Own mine = own(declaration, context, form);
    if (mine.finding || context == Context::Descriptors)
        return mine.finding;
    const qsizetype next = nextOfSameName(block, index);
    if (next < 0)
        return {};
    const Declaration &later = block[std::size_t(next)];
    return overriddenFinding(declaration, mine, later, own(later, context, form));
}

void DeclarationCheck::checkBlock(std::span<const Declaration> block, Context context, Form form,
                                  std::vector<Finding> &findings) const
{
    const qsizetype n = qsizetype(block.size());
    findings.assign(std::size_t(n), Finding{});
    if (n == 0)
        return;
    std::vector<Own> &owns = m_owns;
    owns.clear();
    owns.reserve(std::size_t(n));
    for (const Declaration &declaration : block)
        owns.push_back(own(declaration, context, form));
    if (context == Context::Descriptors)
        return;

    // The next declaration of the same property, for each: by looking ahead in the small
    // blocks people write, by a table of names from the end in large ones (a rule that
    // many rules of the same selector were merged into).
    std::vector<qsizetype> &next = m_next;
    next.assign(std::size_t(n), -1);
    std::vector<QStringView> &names = m_names;
    names.clear();
    for (const Declaration &declaration : block)
        names.push_back(trimmedName(declaration.name));
    constexpr qsizetype SmallBlock = 16;
    if (n <= SmallBlock) {
        for (qsizetype i = 0; i < n; ++i) {
            for (qsizetype j = i + 1; j < n; ++j) {
                if (sameName(names[std::size_t(j)], names[std::size_t(i)])) {
                    next[std::size_t(i)] = j;
                    break;
                }
            }
        }
    } else {
        QHash<QStringView, qsizetype> seen;
        std::deque<QString> keys;
        for (qsizetype i = n - 1; i >= 0; --i) {
            const QStringView key = nameKey(names[std::size_t(i)], keys);
            auto it = seen.find(key);
            if (it != seen.end()) {
                next[std::size_t(i)] = it.value();
                it.value() = i;
            } else {
                seen.insert(key, i);
            }
        }
    }
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype later = next[std::size_t(i)];
        findings[std::size_t(i)] =
            later < 0 ? owns[std::size_t(i)].finding
                      : overriddenFinding(block[std::size_t(i)], owns[std::size_t(i)],
                                          block[std::size_t(later)], owns[std::size_t(later)]);
    }
}

const char *DeclarationCheck::kindName(Kind kind)
{
    switch (kind) {
    case Kind::None:
        break;
    case Kind::UnknownProperty:
        return "unknown";
    case Kind::InvalidValue:
        return "invalid";
    case Kind::QuotedValue:
        return "quoted";
    case Kind::Overridden:
        return "overridden";
    case Kind::InvalidSelector:
        return "selector";
    case Kind::VendorSelector:
        return "vendor-selector";
    case Kind::UnknownAtRule:
        return "unknown-at-rule";
    case Kind::InvalidPrelude:
        return "prelude";
    case Kind::UnknownDescriptor:
        return "descriptor";
    case Kind::IgnoredStatement:
        return "ignored-statement";
    case Kind::ShorthandOverride:
        return "shorthand-override";
    case Kind::DuplicateSelector:
        return "duplicate-selector";
    case Kind::EmptyRule:
        return "empty-rule";
    case Kind::ImportantInKeyframes:
        return "important-in-keyframes";
    case Kind::UndefinedVariable:
        return "undefined-variable";
    case Kind::Unsupported:
        return "support";
    }
    return "none";
}
