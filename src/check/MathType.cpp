#include "MathType.h"

#include "DataTypes.h"

#include <string_view>
#include <unordered_map>

namespace Check {

namespace {

// Lower-cases an ASCII word into a small buffer; false when it does not fit or is not ASCII.
template<std::size_t N> bool lowerAscii(QStringView word, char (&buffer)[N], std::string_view &out)
{
    if (std::size_t(word.size()) >= N)
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t u = word[i].unicode();
        if (u >= 0x80)
            return false;
        buffer[i] = char(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    }
    out = std::string_view(buffer, std::size_t(word.size()));
    return true;
}

using Outcome = MathResult::Outcome;

MathResult typed(MathType type)
{
    return {Outcome::Typed, type};
}

constexpr MathResult Invalid{Outcome::Invalid, {}};
constexpr MathResult Unknown{Outcome::Unknown, {}};

bool is(QStringView text, const char *word)
{
    return text.compare(QLatin1StringView(word), Qt::CaseInsensitive) == 0;
}

// The math functions by what they take and give.
enum class Function : quint8 {
    None,
    Calc,    // one sum
    Compare, // min(), max(), hypot(): one or more terms of one type
    Clamp,   // three terms of one type, the outer ones may be "none"
    Round,   // an optional strategy, a term and an optional step of its type
    Modulo,  // mod(), rem(): two terms of one type
    Trig,    // sin(), cos(), tan(): a number or an angle, giving a number
    ArcTrig, // asin(), acos(), atan(): a number, giving an angle
    Atan2,   // two terms of one type, giving an angle
    Pow,     // two numbers
    Log,     // one or two numbers
    Numeric, // sqrt(), exp(): one number
    Abs,     // one term, its own type
    Sign,    // one term, giving a number
};

Function functionOf(QStringView name)
{
    static const std::unordered_map<std::string_view, Function> functions = {
        {"calc", Function::Calc},    {"-webkit-calc", Function::Calc}, {"-moz-calc", Function::Calc},
        {"min", Function::Compare},  {"max", Function::Compare},       {"hypot", Function::Compare},
        {"clamp", Function::Clamp},  {"round", Function::Round},       {"mod", Function::Modulo},
        {"rem", Function::Modulo},   {"sin", Function::Trig},          {"cos", Function::Trig},
        {"tan", Function::Trig},     {"asin", Function::ArcTrig},      {"acos", Function::ArcTrig},
        {"atan", Function::ArcTrig}, {"atan2", Function::Atan2},       {"pow", Function::Pow},
        {"log", Function::Log},      {"sqrt", Function::Numeric},      {"exp", Function::Numeric},
        {"abs", Function::Abs},      {"sign", Function::Sign},
    };
    char buffer[16];
    std::string_view key;
    if (!lowerAscii(name, buffer, key))
        return Function::None;
    const auto it = functions.find(key);
    return it == functions.end() ? Function::None : it->second;
}

// Reads the expressions inside one function or parenthesis block.
class Typing
{
public:
    Typing(const ValueTokens &tokens, MathType::Base percentAs) : m_tokens(tokens), m_percentAs(percentAs) {}

    MathResult function(int pos) const
    {
        const Function kind = functionOf(m_tokens.functionName(pos));
        if (kind == Function::None)
            return Unknown;
        // Nesting beyond any written by hand is left undecided rather than followed.
        if (m_depth >= DepthLimit)
            return Unknown;
        const Nested nested(m_depth);
        const int close = m_tokens[pos].close;
        // The arguments: runs of tokens between top-level commas.
        struct Range
        {
            int begin;
            int end;
        };
        std::vector<Range> args;
        int begin = pos + 1;
        for (int i = begin; i < close; i = m_tokens.componentEnd(i)) {
            if (m_tokens[i].type == Css::TokenType::Comma) {
                args.push_back({begin, i});
                begin = i + 1;
            }
        }
        args.push_back({begin, close});
        for (const Range &arg : args)
            if (arg.begin >= arg.end)
                return Invalid; // an empty argument, or nothing at all
        const auto count = [&](std::size_t lo, std::size_t hi) {
            return args.size() >= lo && args.size() <= hi;
        };
        const auto term = [&](std::size_t i) { return sum(args[i].begin, args[i].end); };
        // The terms from `first` on, all of one type; `none` allowed where said.
        const auto sameType = [&](std::size_t first, bool noneAtEnds) -> MathResult {
            MathResult result{Outcome::Typed, {}};
            bool typedOne = false;
            bool unknown = false;
            for (std::size_t i = first; i < args.size(); ++i) {
                if (noneAtEnds && (i == first || i + 1 == args.size()) && args[i].end == args[i].begin + 1 &&
                    m_tokens[args[i].begin].type == Css::TokenType::Ident &&
                    is(m_tokens.textOf(args[i].begin), "none"))
                    continue;
                const MathResult one = term(i);
                if (one.outcome == Outcome::Invalid)
                    return Invalid;
                if (one.outcome == Outcome::Unknown) {
                    unknown = true;
                    continue;
                }
                if (!join(result.type, typedOne, one.type))
                    return Invalid;
            }
            return unknown || !typedOne ? Unknown : result;
        };
        // Where a number is wanted and something else is given, browsers are not
        // consistent (they keep sqrt(5%) as a width and line-height: sqrt(1em), drop
        // log(5%) and sqrt(1px)): such an argument is left undecided.
        const auto numberArgs = [&]() -> MathResult {
            for (std::size_t i = 0; i < args.size(); ++i) {
                const MathResult one = term(i);
                if (one.outcome != Outcome::Typed)
                    return one;
                if (!one.type.isNumber())
                    return Unknown;
            }
            return typed({});
        };
        switch (kind) {
        case Function::None:
            break;
        case Function::Calc:
            return count(1, 1) ? term(0) : Invalid;
        case Function::Compare:
            return sameType(0, false);
        case Function::Clamp:
            return count(3, 3) ? sameType(0, true) : Invalid;
        case Function::Round: {
            std::size_t first = 0;
            const Range &head = args.front();
            if (head.end == head.begin + 1 && m_tokens[head.begin].type == Css::TokenType::Ident) {
                const QStringView word = m_tokens.textOf(head.begin);
                if (is(word, "nearest") || is(word, "up") || is(word, "down") || is(word, "to-zero"))
                    first = 1;
            }
            const std::size_t terms = args.size() - first;
            if (terms < 1 || terms > 2)
                return Invalid;
            const MathResult result = sameType(first, false);
            // Without a step, the step is the number 1: only a number can be rounded to it.
            if (terms == 1 && result.outcome == Outcome::Typed && !result.type.isNumber())
                return Invalid;
            return result;
        }
        case Function::Modulo:
            return count(2, 2) ? sameType(0, false) : Invalid;
        case Function::Trig: {
            if (!count(1, 1))
                return Invalid;
            const MathResult one = term(0);
            if (one.outcome != Outcome::Typed)
                return one;
            return one.type.isNumber() || one.type == MathType(MathType::Angle) ? typed({}) : Unknown;
        }
        case Function::ArcTrig:
        case Function::Atan2: {
            if (!count(kind == Function::Atan2 ? 2 : 1, kind == Function::Atan2 ? 2 : 1))
                return Invalid;
            const MathResult terms = kind == Function::Atan2 ? sameType(0, false) : numberArgs();
            return terms.outcome == Outcome::Typed ? typed(MathType(MathType::Angle)) : terms;
        }
        case Function::Pow:
            return count(2, 2) ? numberArgs() : Invalid;
        case Function::Log:
            return count(1, 2) ? numberArgs() : Invalid;
        case Function::Numeric:
            return count(1, 1) ? numberArgs() : Invalid;
        case Function::Abs:
            return count(1, 1) ? term(0) : Invalid;
        case Function::Sign: {
            if (!count(1, 1))
                return Invalid;
            const MathResult one = term(0);
            return one.outcome == Outcome::Typed ? typed({}) : one;
        }
        }
        return Unknown;
    }

private:
    // Whether the character at `at` of the value's text is white space or the end or
    // start of a comment, which separates tokens as white space does.
    bool blankBefore(qsizetype start) const
    {
        const QStringView text = m_tokens.text();
        return start > 0 &&
               (Css::isWhitespace(text[start - 1]) || (start >= 2 && text.sliced(start - 2, 2) == u"*/"));
    }
    bool blankAfter(qsizetype end) const
    {
        const QStringView text = m_tokens.text();
        return end < text.size() &&
               (Css::isWhitespace(text[end]) || (end + 1 < text.size() && text.sliced(end, 2) == u"/*"));
    }
    bool isDelim(int i, char16_t c) const
    {
        return m_tokens[i].type == Css::TokenType::Delim && m_tokens.textOf(i) == QStringView(&c, 1);
    }

    // Joins a term's type to that of the terms before it, as adding and comparing need
    // one type. Where percentages are a type of their own, a percentage may stand for the
    // other term's quantity (10% + 1px, hypot(10px, 50%)): browsers take that where the
    // place takes percentages of that quantity, which a syntax may list apart
    // (line-height: <length> | <percentage>), so the quantity is the type. False when
    // the types cannot be joined.
    bool join(MathType &type, bool &typedOne, const MathType &next) const
    {
        if (!typedOne || next == type) {
            type = next;
            typedOne = true;
            return true;
        }
        if (m_percentAs != MathType::Percent || (!type.hasPercent() && !next.hasPercent()))
            return false;
        for (int base = 0; base < MathType::Percent; ++base) {
            const MathType joined = type.withPercentAs(MathType::Base(base));
            if (joined == next.withPercentAs(MathType::Base(base))) {
                type = joined;
                return true;
            }
        }
        return false;
    }

    // <sum> = <product> [ [ '+' | '-' ] <product> ]*, the operators between blanks.
    MathResult sum(int begin, int end) const
    {
        MathType type;
        bool typedOne = false;
        bool unknown = false;
        for (int at = begin;;) {
            int next = at;
            while (next < end && !isDelim(next, u'+') && !isDelim(next, u'-'))
                next = m_tokens.componentEnd(next);
            const MathResult term = product(at, next);
            if (term.outcome == Outcome::Invalid)
                return Invalid;
            if (term.outcome == Outcome::Unknown) {
                unknown = true;
            } else {
                if (!join(type, typedOne, term.type))
                    return Invalid;
            }
            if (next >= end)
                break;
            const ValueTokens::Token &op = m_tokens[next];
            if (!blankBefore(op.start) || !blankAfter(op.start + op.length))
                return Invalid;
            at = next + 1;
        }
        return unknown ? Unknown : typed(type);
    }

    // <product> = <value> [ [ '*' | '/' ] <value> ]*
    MathResult product(int begin, int end) const
    {
        if (begin >= end)
            return Invalid;
        MathType type;
        bool unknown = false;
        bool divide = false;
        int at = begin;
        while (true) {
            if (at >= end)
                return Invalid; // an operator without its right-hand value
            const int next = m_tokens.componentEnd(at);
            const MathResult one = value(at);
            if (one.outcome == Outcome::Invalid)
                return Invalid;
            if (one.outcome == Outcome::Unknown) {
                unknown = true;
            } else {
                // A percentage multiplied or divided by another quantity: browsers let it
                // stand for that quantity (1px / 5% is a number to them), which the typing
                // does not follow.
                if ((type.hasPercent() && !one.type.isNumber()) ||
                    (one.type.hasPercent() && !type.isNumber()))
                    unknown = true;
                type = divide ? type.dividedBy(one.type) : type.times(one.type);
            }
            if (next >= end)
                break;
            if (isDelim(next, u'*'))
                divide = false;
            else if (isDelim(next, u'/'))
                divide = true;
            else
                return Invalid; // two values without an operator between them
            at = next + 1;
        }
        return unknown ? Unknown : typed(type);
    }

    MathResult value(int pos) const
    {
        const ValueTokens::Token &token = m_tokens[pos];
        switch (token.type) {
        case Css::TokenType::Number:
            return typed({});
        case Css::TokenType::Percentage:
            return typed(MathType(m_percentAs));
        case Css::TokenType::Dimension: {
            const QStringView unit = Css::unit(
                m_tokens.text(), Css::Token{token.type, token.start, token.length, token.numberLength});
            switch (unitKind(unit)) {
            case UnitKind::Length:
                return typed(MathType(MathType::Length));
            case UnitKind::Angle:
                return typed(MathType(MathType::Angle));
            case UnitKind::Time:
                return typed(MathType(MathType::Time));
            case UnitKind::Frequency:
                return typed(MathType(MathType::Frequency));
            case UnitKind::Resolution:
                return typed(MathType(MathType::Resolution));
            case UnitKind::Flex: // fr stands in grid tracks alone, never in a math function
            case UnitKind::None:
                return Invalid;
            }
            return Unknown;
        }
        case Css::TokenType::Ident: {
            const QStringView word = m_tokens.textOf(pos);
            if (is(word, "e") || is(word, "pi") || is(word, "infinity") || is(word, "-infinity") ||
                is(word, "nan"))
                return typed({});
            // No other word: not auto, not a custom property's name (which stands for its
            // value only inside var()). The keywords some functions take inside their own
            // arguments (calc-size()'s size, a relative colour's channels) are not reached:
            // those functions are not typed.
            return Invalid;
        }
        case Css::TokenType::Function:
            return function(pos);
        case Css::TokenType::OpenParen: {
            if (token.close <= pos + 1)
                return Invalid;
            if (m_depth >= DepthLimit)
                return Unknown;
            const Nested nested(m_depth);
            return sum(pos + 1, token.close);
        }
        case Css::TokenType::AtKeyword:
        case Css::TokenType::String:
        case Css::TokenType::Hash:
        case Css::TokenType::Url:
        case Css::TokenType::BadUrl:
        case Css::TokenType::BadString:
        case Css::TokenType::Comma:
        case Css::TokenType::Colon:
        case Css::TokenType::Semicolon:
        case Css::TokenType::Delim:
        case Css::TokenType::CloseParen:
        case Css::TokenType::CloseSquare:
        case Css::TokenType::CloseCurly:
            return Invalid;
        default:
            return Unknown;
        }
    }

    static constexpr int DepthLimit = 64;
    struct Nested
    {
        explicit Nested(int &depth) : m_depth(depth) { ++m_depth; }
        ~Nested() { --m_depth; }
        Nested(const Nested &) = delete;
        Nested &operator=(const Nested &) = delete;
        int &m_depth;
    };

    const ValueTokens &m_tokens;
    MathType::Base m_percentAs;
    mutable int m_depth = 0;
};

} // namespace

UnitKind unitKind(QStringView unit)
{
    static const std::unordered_map<std::string_view, UnitKind> units = [] {
        std::unordered_map<std::string_view, UnitKind> map;
        for (const char *name :
             {"px",    "em",    "rem",   "ex",    "rex",   "ch",    "rch",   "ic",   "ric",  "cap",
              "rcap",  "lh",    "rlh",   "vw",    "vh",    "vi",    "vb",    "vmin", "vmax", "svw",
              "svh",   "svi",   "svb",   "svmin", "svmax", "lvw",   "lvh",   "lvi",  "lvb",  "lvmin",
              "lvmax", "dvw",   "dvh",   "dvi",   "dvb",   "dvmin", "dvmax", "cqw",  "cqh",  "cqi",
              "cqb",   "cqmin", "cqmax", "cm",    "mm",    "q",     "in",    "pt",   "pc"})
            map.emplace(name, UnitKind::Length);
        for (const char *name : {"deg", "grad", "rad", "turn"})
            map.emplace(name, UnitKind::Angle);
        for (const char *name : {"s", "ms"})
            map.emplace(name, UnitKind::Time);
        for (const char *name : {"hz", "khz"})
            map.emplace(name, UnitKind::Frequency);
        for (const char *name : {"dpi", "dpcm", "dppx", "x"})
            map.emplace(name, UnitKind::Resolution);
        map.emplace("fr", UnitKind::Flex);
        return map;
    }();
    char buffer[8];
    std::string_view key;
    if (!lowerAscii(unit, buffer, key))
        return UnitKind::None;
    const auto it = units.find(key);
    return it == units.end() ? UnitKind::None : it->second;
}

MathType MathType::times(const MathType &other) const
{
    MathType result = *this;
    for (int i = 0; i < BaseCount; ++i)
        result.m_power[std::size_t(i)] += other.m_power[std::size_t(i)];
    return result;
}

MathType MathType::withPercentAs(Base base) const
{
    MathType result = *this;
    result.m_power[base] += result.m_power[Percent];
    result.m_power[Percent] = 0;
    return result;
}

MathType MathType::dividedBy(const MathType &other) const
{
    MathType result = *this;
    for (int i = 0; i < BaseCount; ++i)
        result.m_power[std::size_t(i)] -= other.m_power[std::size_t(i)];
    return result;
}

MathResult mathTypeOf(const ValueTokens &tokens, int pos, MathType::Base percentAs)
{
    if (pos >= tokens.size() || tokens[pos].type != Css::TokenType::Function)
        return Unknown;
    return Typing(tokens, percentAs).function(pos);
}

} // namespace Check
