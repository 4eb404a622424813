#include "AtRuleCheck.h"

#include "NameSuggestion.h"
#include "TableStore.h"

#include <array>

namespace {

using Css::Token;
using Css::TokenType;

// What each at-rule takes after its prelude: a block, a ";", or either (@layer).
enum class Shape : quint8 { Block, Statement, Either };

struct KnownAtRule
{
    const char16_t *name;
    Shape shape;
};

// The at-rules browsers read, @page's margin boxes and @font-feature-values' blocks among them.
constexpr KnownAtRule KnownAtRules[] = {
    {u"charset", Shape::Statement},
    {u"import", Shape::Statement},
    {u"namespace", Shape::Statement},
    {u"layer", Shape::Either},
    {u"media", Shape::Block},
    {u"supports", Shape::Block},
    {u"container", Shape::Block},
    {u"scope", Shape::Block},
    {u"starting-style", Shape::Block},
    {u"font-face", Shape::Block},
    {u"font-feature-values", Shape::Block},
    {u"font-palette-values", Shape::Block},
    {u"counter-style", Shape::Block},
    {u"keyframes", Shape::Block},
    {u"page", Shape::Block},
    {u"property", Shape::Block},
    {u"position-try", Shape::Block},
    {u"view-transition", Shape::Block},
    {u"swash", Shape::Block},
    {u"annotation", Shape::Block},
    {u"ornaments", Shape::Block},
    {u"stylistic", Shape::Block},
    {u"styleset", Shape::Block},
    {u"character-variant", Shape::Block},
    {u"historical-forms", Shape::Block},
    {u"top-left-corner", Shape::Block},
    {u"top-left", Shape::Block},
    {u"top-center", Shape::Block},
    {u"top-right", Shape::Block},
    {u"top-right-corner", Shape::Block},
    {u"bottom-left-corner", Shape::Block},
    {u"bottom-left", Shape::Block},
    {u"bottom-center", Shape::Block},
    {u"bottom-right", Shape::Block},
    {u"bottom-right-corner", Shape::Block},
    {u"left-top", Shape::Block},
    {u"left-middle", Shape::Block},
    {u"left-bottom", Shape::Block},
    {u"right-top", Shape::Block},
    {u"right-middle", Shape::Block},
    {u"right-bottom", Shape::Block},
};

const KnownAtRule *findAtRule(QStringView name)
{
    for (const KnownAtRule &rule : KnownAtRules)
        if (name == QStringView(rule.name))
            return &rule;
    return nullptr;
}

std::vector<QString> atRuleNames()
{
    std::vector<QString> names;
    for (const KnownAtRule &rule : KnownAtRules)
        names.push_back(QLatin1Char('@') + QString::fromUtf16(rule.name));
    return names;
}

// What a media feature's value is.
enum class FeatureValue : quint8 { Length, Ratio, Resolution, Integer, Keywords };

struct MediaFeature
{
    const char16_t *name;
    FeatureValue value;
    const char16_t *keywords; // for Keywords: the words, separated by blanks
};

// The media features of Media Queries 4 and 5. Those with a numeric value are ranges
// (min-/max- and comparisons); the others take one of their words.
constexpr MediaFeature MediaFeatures[] = {
    {u"width", FeatureValue::Length, nullptr},
    {u"height", FeatureValue::Length, nullptr},
    {u"device-width", FeatureValue::Length, nullptr},
    {u"device-height", FeatureValue::Length, nullptr},
    {u"aspect-ratio", FeatureValue::Ratio, nullptr},
    {u"device-aspect-ratio", FeatureValue::Ratio, nullptr},
    {u"resolution", FeatureValue::Resolution, nullptr},
    {u"color", FeatureValue::Integer, nullptr},
    {u"color-index", FeatureValue::Integer, nullptr},
    {u"monochrome", FeatureValue::Integer, nullptr},
    {u"horizontal-viewport-segments", FeatureValue::Integer, nullptr},
    {u"vertical-viewport-segments", FeatureValue::Integer, nullptr},
    {u"grid", FeatureValue::Keywords, u"0 1"},
    {u"orientation", FeatureValue::Keywords, u"portrait landscape"},
    {u"scan", FeatureValue::Keywords, u"interlace progressive"},
    {u"update", FeatureValue::Keywords, u"none slow fast"},
    {u"overflow-block", FeatureValue::Keywords, u"none scroll paged"},
    {u"overflow-inline", FeatureValue::Keywords, u"none scroll"},
    {u"color-gamut", FeatureValue::Keywords, u"srgb p3 rec2020"},
    {u"pointer", FeatureValue::Keywords, u"none coarse fine"},
    {u"any-pointer", FeatureValue::Keywords, u"none coarse fine"},
    {u"hover", FeatureValue::Keywords, u"none hover"},
    {u"any-hover", FeatureValue::Keywords, u"none hover"},
    {u"prefers-reduced-motion", FeatureValue::Keywords, u"no-preference reduce"},
    {u"prefers-reduced-transparency", FeatureValue::Keywords, u"no-preference reduce"},
    {u"prefers-reduced-data", FeatureValue::Keywords, u"no-preference reduce"},
    {u"prefers-contrast", FeatureValue::Keywords, u"no-preference less more custom"},
    {u"prefers-color-scheme", FeatureValue::Keywords, u"light dark"},
    {u"forced-colors", FeatureValue::Keywords, u"none active"},
    {u"dynamic-range", FeatureValue::Keywords, u"standard high"},
    {u"video-dynamic-range", FeatureValue::Keywords, u"standard high"},
    {u"inverted-colors", FeatureValue::Keywords, u"none inverted"},
    {u"scripting", FeatureValue::Keywords, u"none initial-only enabled"},
    {u"display-mode", FeatureValue::Keywords,
     u"fullscreen standalone minimal-ui browser picture-in-picture window-controls-overlay"},
    {u"device-posture", FeatureValue::Keywords, u"continuous folded"},
    {u"environment-blending", FeatureValue::Keywords, u"opaque additive subtractive"},
    {u"nav-controls", FeatureValue::Keywords, u"none back"},
};

const MediaFeature *findFeature(QStringView name)
{
    for (const MediaFeature &feature : MediaFeatures)
        if (name == QStringView(feature.name))
            return &feature;
    return nullptr;
}

std::vector<QString> featureNames()
{
    std::vector<QString> names;
    for (const MediaFeature &feature : MediaFeatures) {
        const QString name = QString::fromUtf16(feature.name);
        names.push_back(name);
        if (feature.value != FeatureValue::Keywords) {
            names.push_back(QStringLiteral("min-") + name);
            names.push_back(QStringLiteral("max-") + name);
        }
    }
    return names;
}

bool isLengthUnit(const QString &unit)
{
    static const QSet<QString> units = [] {
        QSet<QString> set;
        for (const char *u :
             {"px",   "em",    "rem",   "ex",    "rex",   "ch",    "rch",   "ic",    "ric",  "cap",
              "rcap", "lh",    "rlh",   "vw",    "vh",    "vi",    "vb",    "vmin",  "vmax", "svw",
              "svh",  "lvw",   "lvh",   "dvw",   "dvh",   "svi",   "svb",   "lvi",   "lvb",  "dvi",
              "dvb",  "svmin", "svmax", "lvmin", "lvmax", "dvmin", "dvmax", "cm",    "mm",   "q",
              "in",   "pt",    "pc",    "cqw",   "cqh",   "cqi",   "cqb",   "cqmin", "cqmax"})
            set.insert(QString::fromLatin1(u));
        return set;
    }();
    return units.contains(unit);
}

// The tokens of a prelude, comments left out, with a cursor.
struct Tokens
{
    QStringView text;
    std::vector<Token> list;
    size_t at = 0;
    size_t end = 0;

    explicit Tokens(QStringView source) : text(source)
    {
        Css::Tokenizer tokenizer(source);
        for (Token t = tokenizer.next(); t.type != TokenType::EndOfFile; t = tokenizer.next())
            if (t.type != TokenType::Comment)
                list.push_back(t);
        end = list.size();
    }
    bool atEnd() const { return at >= end; }
    const Token &token() const { return list[at]; }
    QStringView textOf(const Token &t) const { return Css::tokenText(text, t); }
    QStringView current() const { return atEnd() ? QStringView() : textOf(token()); }
    QString word() const
    {
        return !atEnd() && token().type == TokenType::Ident ? Css::unescaped(current()).toLower() : QString();
    }
    bool isDelim(char16_t c) const
    {
        return !atEnd() && token().type == TokenType::Delim && current() == QStringView(&c, 1);
    }
    bool skipBlanks()
    {
        bool any = false;
        while (!atEnd() && token().type == TokenType::Whitespace) {
            ++at;
            any = true;
        }
        return any;
    }
    // The position of the token that closes the block opened just before `from`.
    size_t closing(size_t from) const
    {
        int depth = 1;
        for (size_t i = from; i < end; ++i) {
            switch (list[i].type) {
            case TokenType::Function:
            case TokenType::OpenParen:
            case TokenType::OpenSquare:
            case TokenType::OpenCurly:
                ++depth;
                break;
            case TokenType::CloseParen:
            case TokenType::CloseSquare:
            case TokenType::CloseCurly:
                if (--depth == 0)
                    return i;
                break;
            default:
                break;
            }
        }
        return end;
    }
    // The same tokens limited to [from, to).
    Tokens range(size_t from, size_t to) const
    {
        Tokens copy = *this;
        copy.at = from;
        copy.end = to;
        return copy;
    }
    // The text of [from, to), for messages.
    QString textBetween(size_t from, size_t to) const
    {
        if (from >= to || from >= list.size())
            return {};
        return text.sliced(list[from].start, list[to - 1].end() - list[from].start).toString();
    }
};

// The three conditions that share one grammar of "not", "and", "or" and parentheses.
enum class ConditionKind : quint8 { Media, Supports, Container };

struct ConditionReader
{
    ConditionKind kind;
    const SelectorCheck &selectors;
    QString error;
    int depth = 0; // parentheses around the condition being read
    // Conditions nested deeper than any sheet writes them are left to the browser, so
    // that no text can exhaust the stack.
    static constexpr int MaxDepth = 64;

    bool fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }

    // condition: "not" in-parens | in-parens ["and" in-parens]* | in-parens ["or" in-parens]*
    bool condition(Tokens &t, bool allowOr)
    {
        t.skipBlanks();
        if (t.atEnd())
            return fail(QStringLiteral("a condition is missing"));
        if (t.word() == u"not") {
            ++t.at;
            if (!t.skipBlanks())
                return fail(QStringLiteral("\"not\" must be followed by a blank and \"(\""));
            if (!inParens(t))
                return false;
            t.skipBlanks();
            return t.atEnd() || fail(QStringLiteral(
                                    "\"not\" cannot be combined with \"and\" or \"or\" without parentheses"));
        }
        if (!inParens(t))
            return false;
        QString joiner;
        for (;;) {
            const bool blank = t.skipBlanks();
            if (t.atEnd())
                return true;
            const QString word = t.word();
            if (word != u"and" && word != u"or") {
                if (t.token().type == TokenType::Function) {
                    const QStringView name = t.current().chopped(1);
                    if (name.compare(u"and", Qt::CaseInsensitive) == 0 ||
                        name.compare(u"or", Qt::CaseInsensitive) == 0)
                        return fail(
                            QStringLiteral("\"%1\" must be followed by a blank before \"(\"").arg(name));
                }
                return fail(QStringLiteral("unexpected \"%1\"").arg(t.current()));
            }
            if (!blank)
                return fail(QStringLiteral("\"%1\" must follow a blank").arg(word));
            if (word == u"or" && !allowOr)
                return fail(QStringLiteral("\"or\" after a media type"));
            if (!joiner.isEmpty() && joiner != word)
                return fail(QStringLiteral("\"and\" and \"or\" mixed without parentheses"));
            joiner = word;
            ++t.at;
            if (!t.skipBlanks())
                return fail(QStringLiteral("\"%1\" must be followed by a blank").arg(word));
            if (!inParens(t))
                return false;
        }
    }

    bool inParens(Tokens &t)
    {
        if (t.atEnd())
            return fail(QStringLiteral("a condition is missing"));
        const Token open = t.token();
        if (open.type == TokenType::Function) {
            // selector(), font-tech(), style(), and any other function: the last is
            // "general enclosed", read but never true.
            const size_t close = t.closing(t.at + 1);
            if (close >= t.end)
                return fail(QStringLiteral("%1 is not closed").arg(t.current()));
            t.at = close + 1;
            return true;
        }
        if (open.type != TokenType::OpenParen)
            return fail(QStringLiteral("\"(\" expected instead of \"%1\"").arg(t.current()));
        const size_t close = t.closing(t.at + 1);
        if (close >= t.end)
            return fail(QStringLiteral("\"(\" is not closed"));
        Tokens inner = t.range(t.at + 1, close);
        t.at = close + 1;
        inner.skipBlanks();
        if (inner.atEnd())
            return fail(QStringLiteral("empty parentheses"));
        const Token &first = inner.token();
        if (first.type == TokenType::OpenParen || first.type == TokenType::Function ||
            inner.word() == u"not") {
            if (depth >= MaxDepth)
                return true;
            ++depth;
            const bool read = condition(inner, true);
            --depth;
            return read;
        }
        if (kind == ConditionKind::Media)
            return mediaFeature(inner);
        // A declaration or anything else ("general enclosed") is read: it is only false.
        return true;
    }

    // A media feature: "name", "name: value", or a range ("width >= 600px").
    bool mediaFeature(Tokens &t)
    {
        bool range = false;
        for (size_t i = t.at; i < t.end; ++i) {
            const QStringView s = t.textOf(t.list[i]);
            if (t.list[i].type == TokenType::Delim && (s == u"<" || s == u">" || s == u"="))
                range = true;
        }
        if (range) {
            // A name and values around comparisons: the name must be a range feature.
            for (size_t i = t.at; i < t.end; ++i) {
                if (t.list[i].type != TokenType::Ident)
                    continue;
                const QString name = Css::unescaped(t.textOf(t.list[i])).toLower();
                if (name.startsWith(u'-'))
                    return true;
                const MediaFeature *feature = findFeature(name);
                if (!feature)
                    return unknownFeature(name);
                if (feature->value == FeatureValue::Keywords)
                    return fail(QStringLiteral("%1 cannot be compared").arg(name));
                return true;
            }
            return true; // only values: nothing more to say
        }
        if (t.token().type != TokenType::Ident)
            return fail(QStringLiteral("a media feature name expected instead of \"%1\"").arg(t.current()));
        const QString written = t.word();
        ++t.at;
        t.skipBlanks();
        // Vendor features (-webkit-min-device-pixel-ratio) are each engine's own.
        if (written.startsWith(u'-'))
            return true;
        QString name = written;
        bool prefixed = false;
        if (name.startsWith(u"min-") || name.startsWith(u"max-")) {
            const MediaFeature *bare = findFeature(QStringView(name).sliced(4));
            if (bare && bare->value != FeatureValue::Keywords) {
                name = name.sliced(4);
                prefixed = true;
            }
        }
        const MediaFeature *feature = findFeature(name);
        if (!feature && (written.startsWith(u"min-") || written.startsWith(u"max-")) &&
            findFeature(QStringView(written).sliced(4)))
            return fail(QStringLiteral("%1 takes no min- or max-").arg(written.sliced(4)));
        if (!feature)
            return unknownFeature(written);
        if (t.atEnd()) {
            if (prefixed)
                return fail(QStringLiteral("(%1) needs a value").arg(written));
            return true;
        }
        if (t.token().type != TokenType::Colon)
            return fail(QStringLiteral("\":\" expected after %1").arg(written));
        ++t.at;
        t.skipBlanks();
        const size_t from = t.at;
        size_t last = t.end;
        while (last > from && t.list[last - 1].type == TokenType::Whitespace)
            --last;
        if (from >= last)
            return fail(QStringLiteral("(%1:) needs a value").arg(written));
        return featureValue(t, *feature, written, from, last);
    }

    bool unknownFeature(const QString &name)
    {
        static const std::vector<QString> names = featureNames();
        const QString close = closestName(name, names);
        return fail(close.isEmpty()
                        ? QStringLiteral("unknown media feature %1").arg(name)
                        : QStringLiteral("unknown media feature %1 (did you mean %2?)").arg(name, close));
    }

    bool featureValue(const Tokens &t, const MediaFeature &feature, const QString &written, size_t from,
                      size_t last)
    {
        // Math functions and anything else with a function are left to the browser.
        for (size_t i = from; i < last; ++i)
            if (t.list[i].type == TokenType::Function)
                return true;
        const QString value = t.textBetween(from, last);
        const auto bad = [&](const char *what) {
            return fail(QStringLiteral("%1 in (%2: %3): %4")
                            .arg(QStringLiteral("invalid value"), written, value, QLatin1String(what)));
        };
        const Token &first = t.list[from];
        const bool single = last == from + 1;
        switch (feature.value) {
        case FeatureValue::Length:
            if (single && first.type == TokenType::Dimension &&
                isLengthUnit(Css::unescaped(Css::unit(t.text, first)).toLower()))
                return true;
            if (single && first.type == TokenType::Number && Css::numberValue(t.text, first) == 0)
                return true;
            return bad("a length with its unit expected");
        case FeatureValue::Resolution:
            if (single && first.type == TokenType::Dimension) {
                const QString unit = Css::unescaped(Css::unit(t.text, first)).toLower();
                if (unit == u"dpi" || unit == u"dpcm" || unit == u"dppx" || unit == u"x")
                    return true;
            }
            return bad("a resolution (dpi, dpcm, dppx, x) expected");
        case FeatureValue::Integer:
            if (single && first.type == TokenType::Number && Css::isInteger(t.text, first))
                return true;
            return bad("an integer expected");
        case FeatureValue::Ratio: {
            // <number> [ / <number> ]?
            std::vector<Token> parts;
            for (size_t i = from; i < last; ++i)
                if (t.list[i].type != TokenType::Whitespace)
                    parts.push_back(t.list[i]);
            const auto number = [&](const Token &p) {
                return p.type == TokenType::Number && Css::numberValue(t.text, p) >= 0;
            };
            if (parts.size() == 1 && number(parts[0]))
                return true;
            if (parts.size() == 3 && number(parts[0]) && parts[1].type == TokenType::Delim &&
                t.textOf(parts[1]) == u"/" && number(parts[2]))
                return true;
            return bad("a ratio such as 16/9 expected");
        }
        case FeatureValue::Keywords: {
            const QString word =
                single ? (first.type == TokenType::Ident ? Css::unescaped(t.textOf(first)).toLower()
                                                         : t.textOf(first).toString())
                       : QString();
            if (!word.isEmpty())
                for (QStringView keyword : QStringView(feature.keywords).split(u' '))
                    if (keyword == word)
                        return true;
            return fail(
                QStringLiteral("invalid value in (%1: %2): one of %3 expected")
                    .arg(written, value,
                         QString::fromUtf16(feature.keywords).replace(QChar(u' '), QStringLiteral(", "))));
        }
        }
        return true;
    }
};

const QStringList MediaTypeKeywordsRefused = {QStringLiteral("and"), QStringLiteral("or"),
                                              QStringLiteral("not"), QStringLiteral("only"),
                                              QStringLiteral("layer")};

// One media query: [not|only]? type [and condition-without-or]? | condition.
QString mediaQueryError(Tokens t, const SelectorCheck &selectors)
{
    ConditionReader reader{ConditionKind::Media, selectors, {}};
    t.skipBlanks();
    if (t.atEnd())
        return QStringLiteral("an empty media query");
    if (t.token().type == TokenType::Ident) {
        QString word = t.word();
        const size_t start = t.at;
        if (word == u"not" || word == u"only") {
            ++t.at;
            t.skipBlanks();
            if (word == u"not" && !t.atEnd() && t.token().type != TokenType::Ident) {
                t.at = start;
                return reader.condition(t, true) ? QString() : reader.error;
            }
            if (t.atEnd() || t.token().type != TokenType::Ident)
                return QStringLiteral("a media type must follow \"%1\"").arg(word);
            word = t.word();
        }
        if (MediaTypeKeywordsRefused.contains(word))
            return QStringLiteral("\"%1\" cannot stand as a media type").arg(word);
        ++t.at;
        const bool blank = t.skipBlanks();
        if (t.atEnd())
            return {};
        if (t.word() != u"and" || !blank) {
            if (t.token().type == TokenType::Function &&
                t.current().chopped(1).compare(u"and", Qt::CaseInsensitive) == 0)
                return QStringLiteral("\"and\" must be followed by a blank before \"(\"");
            return QStringLiteral("unexpected \"%1\" after the media type").arg(t.current());
        }
        ++t.at;
        if (!t.skipBlanks())
            return QStringLiteral("\"and\" must be followed by a blank");
        return reader.condition(t, false) ? QString() : reader.error;
    }
    return reader.condition(t, true) ? QString() : reader.error;
}

// A layer name: identifiers joined by "." without blanks.
bool readLayerName(Tokens &t)
{
    if (t.atEnd() || t.token().type != TokenType::Ident)
        return false;
    ++t.at;
    while (t.isDelim(u'.')) {
        ++t.at;
        if (t.atEnd() || t.token().type != TokenType::Ident)
            return false;
        ++t.at;
    }
    return true;
}

} // namespace

void AtRuleCheck::open(const QString &path)
{
    TableStore store;
    TableStore::Layout layout;
    layout.table = QStringLiteral("descriptors");
    layout.firstField = QStringLiteral("Descriptor");
    layout.valuesField = QStringLiteral("Syntax");
    store.open(path, layout);
    for (store.first(); !store.eof(); store.next())
        addDescriptor(store.firstField());
}

void AtRuleCheck::addDescriptor(QStringView atRuleAndName)
{
    m_judged[0].clear();
    m_judged[1].clear();
    const qsizetype blank = atRuleAndName.indexOf(u' ');
    if (blank < 0)
        return;
    const QString rule = nameOf(atRuleAndName.first(blank));
    const QString name = atRuleAndName.sliced(blank + 1).trimmed().toString().toLower();
    if (!m_descriptors[rule].contains(name)) {
        m_descriptors[rule].insert(name);
        m_ordered[rule].push_back(name);
    }
}

QString AtRuleCheck::nameOf(QStringView label)
{
    Css::Tokenizer tokenizer(label);
    const Token first = tokenizer.next();
    if (first.type != TokenType::AtKeyword)
        return {};
    return Css::unescaped(Css::tokenText(label, first).sliced(1)).toLower();
}

QStringView AtRuleCheck::preludeOf(QStringView label)
{
    Css::Tokenizer tokenizer(label);
    const Token first = tokenizer.next();
    return label.sliced(first.end()).trimmed();
}

AtRuleCheck::Result AtRuleCheck::checkAtRule(QStringView label, bool statement) const
{
    if (m_judgedGeneration != m_selectors.generation()) {
        m_judged[0].clear();
        m_judged[1].clear();
        m_judgedGeneration = m_selectors.generation();
    }
    return cachedIn(m_judged[statement ? 1 : 0], label, size_t(1) << 14,
                    [&] { return judgeAtRule(label, statement); });
}

AtRuleCheck::Result AtRuleCheck::judgeAtRule(QStringView label, bool statement) const
{
    const QString name = nameOf(label);
    if (name.isEmpty() || name.startsWith(u'-'))
        return {};
    const KnownAtRule *known = findAtRule(name);
    if (!known) {
        static const std::vector<QString> names = atRuleNames();
        const QString written = QLatin1Char('@') + name;
        const QString close = closestName(written, names);
        return {Problem::UnknownAtRule,
                close.isEmpty()
                    ? QStringLiteral("a browser drops this whole rule: unknown at-rule %1").arg(written)
                    : QStringLiteral("a browser drops this whole rule: unknown at-rule %1 (did you mean %2?)")
                          .arg(written, close)};
    }
    const auto dropped = [&name](const QString &why) {
        return Result{Problem::InvalidPrelude,
                      QStringLiteral("a browser drops this whole rule: @%1 %2").arg(name, why)};
    };
    if (known->shape == Shape::Block && statement)
        return dropped(QStringLiteral("needs a block"));
    if (known->shape == Shape::Statement && !statement)
        return dropped(QStringLiteral("takes no block"));

    const QStringView prelude = preludeOf(label);
    Tokens t(prelude);
    if (name == u"media") {
        const QString problem = mediaQueryProblem(prelude);
        if (!problem.isEmpty())
            return {Problem::InvalidPrelude,
                    QStringLiteral("a browser never applies this query: ") + problem};
    } else if (name == u"supports") {
        const QString problem = supportsProblem(prelude);
        if (!problem.isEmpty())
            return dropped(QStringLiteral("condition: ") + problem);
    } else if (name == u"container") {
        t.skipBlanks();
        const QString word = t.word();
        if (!word.isEmpty() && word != u"not") {
            if (word == u"none" || word == u"and" || word == u"or")
                return dropped(QStringLiteral("container name cannot be %1").arg(word));
            ++t.at;
            t.skipBlanks();
        }
        if (!t.atEnd()) {
            ConditionReader reader{ConditionKind::Container, m_selectors, {}};
            if (!reader.condition(t, true))
                return dropped(QStringLiteral("condition: ") + reader.error);
        }
    } else if (name == u"layer") {
        t.skipBlanks();
        if (t.atEnd()) {
            if (statement)
                return dropped(QStringLiteral("statement needs a layer name"));
            return {};
        }
        for (;;) {
            if (!readLayerName(t))
                return dropped(QStringLiteral("layer name \"%1\" cannot be read").arg(prelude));
            t.skipBlanks();
            if (t.atEnd())
                return {};
            if (t.token().type != TokenType::Comma || !statement)
                return dropped(statement ? QStringLiteral("layer names must be separated by commas")
                                         : QStringLiteral("block takes one layer name"));
            ++t.at;
            t.skipBlanks();
        }
    } else if (name == u"import") {
        t.skipBlanks();
        if (t.atEnd())
            return dropped(QStringLiteral("needs a URL"));
        const Token &address = t.token();
        if (address.type == TokenType::Function &&
            t.current().chopped(1).compare(u"url", Qt::CaseInsensitive) == 0)
            t.at = t.closing(t.at + 1) + 1;
        else if (address.type == TokenType::String || address.type == TokenType::Url)
            ++t.at;
        else
            return dropped(QStringLiteral("needs a URL or a string first"));
        t.skipBlanks();
        if (t.word() == u"layer") {
            ++t.at;
        } else if (!t.atEnd() && t.token().type == TokenType::Function &&
                   t.current().chopped(1).compare(u"layer", Qt::CaseInsensitive) == 0) {
            const size_t close = t.closing(t.at + 1);
            Tokens inner = t.range(t.at + 1, close);
            inner.skipBlanks();
            if (!readLayerName(inner) || (inner.skipBlanks(), !inner.atEnd()))
                return dropped(QStringLiteral("layer() needs one layer name"));
            t.at = close + 1;
        }
        t.skipBlanks();
        if (!t.atEnd() && t.token().type == TokenType::Function &&
            t.current().chopped(1).compare(u"supports", Qt::CaseInsensitive) == 0) {
            const size_t close = t.closing(t.at + 1);
            if (close >= t.end)
                return dropped(QStringLiteral("supports() is not closed"));
            const QString inner = t.textBetween(t.at + 1, close);
            // supports() takes a condition or a bare declaration.
            const bool declaration = !inner.trimmed().startsWith(u'(') && inner.contains(u':') &&
                                     !inner.trimmed().startsWith(QLatin1String("not"), Qt::CaseInsensitive);
            if (!declaration) {
                const QString problem = supportsProblem(inner);
                if (!problem.isEmpty())
                    return dropped(QStringLiteral("supports(): ") + problem);
            }
            t.at = close + 1;
        }
        t.skipBlanks();
        if (!t.atEnd()) {
            const QString media = t.textBetween(t.at, t.end);
            const QString problem = mediaQueryProblem(media);
            if (!problem.isEmpty())
                return {Problem::InvalidPrelude,
                        QStringLiteral("a browser never applies this query: ") + problem};
        }
    } else if (name == u"namespace") {
        t.skipBlanks();
        if (!t.atEnd() && t.token().type == TokenType::Ident) {
            ++t.at;
            t.skipBlanks();
        }
        if (t.atEnd())
            return dropped(QStringLiteral("needs a URL or a string"));
        const Token &address = t.token();
        if (address.type == TokenType::Function &&
            t.current().chopped(1).compare(u"url", Qt::CaseInsensitive) == 0)
            t.at = t.closing(t.at + 1) + 1;
        else if (address.type == TokenType::String || address.type == TokenType::Url)
            ++t.at;
        else
            return dropped(QStringLiteral("needs a URL or a string"));
        t.skipBlanks();
        if (!t.atEnd())
            return dropped(QStringLiteral("unexpected \"%1\"").arg(t.current()));
    } else if (name == u"property" || name == u"font-palette-values" || name == u"position-try") {
        t.skipBlanks();
        if (t.atEnd() || t.token().type != TokenType::Ident || !t.current().startsWith(u"--") ||
            (++t.at, t.skipBlanks(), !t.atEnd()))
            return dropped(QStringLiteral("needs one name that begins with --"));
    } else if (name == u"keyframes") {
        t.skipBlanks();
        if (t.atEnd())
            return dropped(QStringLiteral("needs a name"));
        const QString word = t.word();
        if (word == u"none" || word == u"initial" || word == u"inherit" || word == u"unset" ||
            word == u"default" || word == u"revert" || word == u"revert-layer")
            return dropped(QStringLiteral("cannot be named %1").arg(word));
        if (t.token().type != TokenType::Ident && t.token().type != TokenType::String)
            return dropped(QStringLiteral("needs a name or a string"));
        ++t.at;
        t.skipBlanks();
        if (!t.atEnd())
            return dropped(QStringLiteral("takes one name"));
    } else if (name == u"font-face" || name == u"starting-style" || name == u"view-transition") {
        t.skipBlanks();
        if (!t.atEnd())
            return dropped(QStringLiteral("takes no prelude"));
    }
    return {};
}

QString AtRuleCheck::mediaQueryProblem(QStringView list) const
{
    Tokens t(list);
    t.skipBlanks();
    if (t.atEnd())
        return {}; // no query: all media
    size_t from = t.at;
    for (size_t i = t.at; i <= t.end; ++i) {
        if (i < t.end && t.list[i].type != TokenType::Comma) {
            const TokenType type = t.list[i].type;
            if (type == TokenType::Function || type == TokenType::OpenParen ||
                type == TokenType::OpenSquare) {
                i = t.closing(i + 1);
                if (i >= t.end) {
                    i = t.end - 1;
                }
            }
            continue;
        }
        const QString problem = mediaQueryError(t.range(from, std::min(i, t.end)), m_selectors);
        if (!problem.isEmpty())
            return problem;
        from = i + 1;
    }
    return {};
}

QString AtRuleCheck::supportsProblem(QStringView condition) const
{
    Tokens t(condition);
    ConditionReader reader{ConditionKind::Supports, m_selectors, {}};
    if (!reader.condition(t, true))
        return reader.error;
    return {};
}

AtRuleCheck::Result AtRuleCheck::checkDescriptor(const QString &atRule, QStringView name) const
{
    const auto known = m_descriptors.constFind(atRule);
    if (known == m_descriptors.cend() || name.startsWith(u'-'))
        return {};
    const QString lower = name.trimmed().toString().toLower();
    if (known->contains(lower))
        return {};
    const QString close = closestName(lower, m_ordered.value(atRule));
    return {
        Problem::UnknownDescriptor,
        close.isEmpty()
            ? QStringLiteral("unknown descriptor %1 in @%2").arg(lower, atRule)
            : QStringLiteral("unknown descriptor %1 in @%2 (did you mean %3?)").arg(lower, atRule, close)};
}

AtRuleCheck::Result
AtRuleCheck::checkRequired(const QString &atRule,
                           const std::vector<std::pair<QString, QString>> &descriptors) const
{
    if (atRule != u"property")
        return {};
    const auto valueOf = [&](const char16_t *wanted) -> const QString * {
        const QString *found = nullptr;
        for (const auto &[name, value] : descriptors)
            if (name == QStringView(wanted))
                found = &value;
        return found;
    };
    const QString *syntax = valueOf(u"syntax");
    if (!syntax)
        return {Problem::MissingDescriptor,
                QStringLiteral("a browser drops this whole rule: @property needs syntax")};
    if (!valueOf(u"inherits"))
        return {Problem::MissingDescriptor,
                QStringLiteral("a browser drops this whole rule: @property needs inherits")};
    const QString bare = Css::stringValue(syntax->trimmed()).trimmed();
    if (bare != u"*" && !valueOf(u"initial-value"))
        return {
            Problem::MissingDescriptor,
            QStringLiteral("a browser drops this whole rule: @property with syntax %1 needs initial-value")
                .arg(syntax->trimmed())};
    return {};
}
