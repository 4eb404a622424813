#include "DataTypes.h"

#include "MathType.h"

#include <QHash>
#include <algorithm>

namespace Check {

namespace {

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

bool isCloser(Css::TokenType type)
{
    return type == Css::TokenType::CloseParen || type == Css::TokenType::CloseSquare ||
           type == Css::TokenType::CloseCurly;
}

// Tokens that never stand in a declaration's value.
bool isForbidden(Css::TokenType type)
{
    return isCloser(type) || type == Css::TokenType::Semicolon || type == Css::TokenType::BadString ||
           type == Css::TokenType::BadUrl || type == Css::TokenType::Cdo || type == Css::TokenType::Cdc;
}

bool isColorFunction(QStringView name)
{
    static const char *const names[] = {
        "rgb",   "rgba",      "hsl",        "hsla",           "hwb",        "lab", "lch", "oklab", "oklch",
        "color", "color-mix", "light-dark", "contrast-color", "device-cmyk"};
    for (const char *candidate : names) {
        if (name.compare(QLatin1StringView(candidate), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

MathType::Base baseOf(UnitKind unit)
{
    switch (unit) {
    case UnitKind::Length:
        return MathType::Length;
    case UnitKind::Angle:
        return MathType::Angle;
    case UnitKind::Time:
        return MathType::Time;
    case UnitKind::Frequency:
        return MathType::Frequency;
    case UnitKind::Resolution:
        return MathType::Resolution;
    case UnitKind::Flex:
        return MathType::Flex;
    case UnitKind::None:
        break;
    }
    return MathType::Percent;
}

// Whether the math function at `pos` gives what a place takes: a number where numbers
// are taken, a percentage where percentages are, a quantity measured in `unit`
// (percentages counting as that quantity where both are taken: 100% - 10px is a
// <length-percentage>). What the typing cannot decide is taken.
bool mathFits(const ValueTokens &tokens, int pos, bool takesNumber, bool takesPercentage, UnitKind unit)
{
    if (tokens[pos].close <= pos + 1)
        return false;
    const MathType::Base percentAs = takesPercentage ? baseOf(unit) : MathType::Percent;
    const MathResult result = mathTypeOf(tokens, pos, percentAs);
    switch (result.outcome) {
    case MathResult::Outcome::Unknown:
        return true;
    case MathResult::Outcome::Invalid:
        return false;
    case MathResult::Outcome::Typed:
        break;
    }
    return (takesNumber && result.type.isNumber()) ||
           (takesPercentage && result.type == MathType(percentAs)) ||
           (unit != UnitKind::None && result.type == MathType(baseOf(unit)));
}

} // namespace

bool DataTypes::find(const QString &name, DataType &type)
{
    static const QHash<QString, DataType> types = {
        {QStringLiteral("length"), DataType::Length},
        {QStringLiteral("percentage"), DataType::Percentage},
        {QStringLiteral("length-percentage"), DataType::LengthPercentage},
        {QStringLiteral("number"), DataType::Number},
        {QStringLiteral("integer"), DataType::Integer},
        {QStringLiteral("angle"), DataType::Angle},
        {QStringLiteral("time"), DataType::Time},
        {QStringLiteral("frequency"), DataType::Frequency},
        {QStringLiteral("resolution"), DataType::Resolution},
        {QStringLiteral("flex"), DataType::Flex},
        {QStringLiteral("dimension"), DataType::Dimension},
        {QStringLiteral("zero"), DataType::Zero},
        {QStringLiteral("x"), DataType::Number},
        {QStringLiteral("y"), DataType::Number},
        {QStringLiteral("top"), DataType::RectSide},
        {QStringLiteral("right"), DataType::RectSide},
        {QStringLiteral("bottom"), DataType::RectSide},
        {QStringLiteral("left"), DataType::RectSide},
        {QStringLiteral("color"), DataType::Color},
        {QStringLiteral("hex-color"), DataType::HexColor},
        {QStringLiteral("url"), DataType::Url},
        {QStringLiteral("string"), DataType::String},
        {QStringLiteral("ident"), DataType::Ident},
        {QStringLiteral("custom-ident"), DataType::CustomIdent},
        {QStringLiteral("dashed-ident"), DataType::DashedIdent},
        {QStringLiteral("custom-property-name"), DataType::DashedIdent},
        {QStringLiteral("declaration-value"), DataType::AnyValue},
        {QStringLiteral("any-value"), DataType::AnyValue},
        // The inside of calc() and its relatives is checked loosely, as for calc() itself.
        {QStringLiteral("calc-sum"), DataType::AnyValue},
        {QStringLiteral("calc-product"), DataType::AnyValue},
        {QStringLiteral("calc-value"), DataType::AnyValue},
        {QStringLiteral("ident-token"), DataType::IdentToken},
        {QStringLiteral("string-token"), DataType::StringToken},
        {QStringLiteral("hash-token"), DataType::HashToken},
        {QStringLiteral("number-token"), DataType::NumberToken},
        {QStringLiteral("dimension-token"), DataType::DimensionToken},
        {QStringLiteral("percentage-token"), DataType::PercentageToken},
        {QStringLiteral("function-token"), DataType::FunctionToken},
    };
    const auto it = types.constFind(name);
    if (it == types.cend())
        return false;
    type = *it;
    return true;
}

void DataTypes::setColorKeywords(std::vector<QString> keywords)
{
    m_colorKeywords = std::move(keywords);
    std::sort(m_colorKeywords.begin(), m_colorKeywords.end());
}

bool DataTypes::isCssWideKeyword(QStringView word)
{
    for (const char *keyword : {"inherit", "initial", "unset", "revert", "revert-layer"}) {
        if (word.compare(QLatin1StringView(keyword), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool DataTypes::isMathFunction(QStringView name)
{
    static const char *const names[] = {"calc", "min",   "max",  "clamp",        "round",    "mod",
                                        "rem",  "sin",   "cos",  "tan",          "asin",     "acos",
                                        "atan", "atan2", "pow",  "sqrt",         "hypot",    "log",
                                        "exp",  "abs",   "sign", "-webkit-calc", "-moz-calc"};
    for (const char *candidate : names) {
        if (name.compare(QLatin1StringView(candidate), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool DataTypes::isColorKeyword(QStringView word) const
{
    if (word.compare(u"currentcolor", Qt::CaseInsensitive) == 0 ||
        word.compare(u"transparent", Qt::CaseInsensitive) == 0)
        return true;
    // The list is in lower case, so comparing without case keeps its order.
    const auto it = std::lower_bound(m_colorKeywords.begin(), m_colorKeywords.end(), word,
                                     [](const QString &keyword, QStringView text) {
                                         return QStringView(keyword).compare(text, Qt::CaseInsensitive) < 0;
                                     });
    return it != m_colorKeywords.end() && QStringView(*it).compare(word, Qt::CaseInsensitive) == 0;
}

bool DataTypes::isColor(const ValueTokens &tokens, int pos) const
{
    const ValueTokens::Token &token = tokens[pos];
    const QStringView text = tokens.textOf(pos);
    if (token.type == Css::TokenType::Hash) {
        const QStringView digits = text.sliced(1);
        if (digits.size() != 3 && digits.size() != 4 && digits.size() != 6 && digits.size() != 8)
            return false;
        return std::all_of(digits.begin(), digits.end(), isHexDigit);
    }
    if (token.type == Css::TokenType::Ident)
        return isColorKeyword(text);
    if (token.type != Css::TokenType::Function || !isColorFunction(tokens.functionName(pos)))
        return false;
    // The colour functions' arguments are checked loosely: numbers, percentages, angles,
    // keywords (none, from, colour spaces), separators and nested functions.
    const int close = token.close;
    if (close <= pos + 1)
        return false;
    for (int i = pos + 1; i < close; i = tokens.componentEnd(i)) {
        switch (tokens[i].type) {
        case Css::TokenType::Number:
        case Css::TokenType::Percentage:
        case Css::TokenType::Dimension:
        case Css::TokenType::Ident:
        case Css::TokenType::Comma:
        case Css::TokenType::Function:
        case Css::TokenType::Hash:
            break;
        case Css::TokenType::Delim:
            if (tokens.textOf(i) != u"/")
                return false;
            break;
        default:
            return false;
        }
    }
    return true;
}

int DataTypes::match(DataType type, const SyntaxNode &node, const ValueTokens &tokens, int pos) const
{
    if (pos >= tokens.size())
        return -1;
    const ValueTokens::Token &token = tokens[pos];
    if (isForbidden(token.type))
        return -1;
    const int next = tokens.componentEnd(pos);
    const QStringView text = tokens.text();
    const auto inRange = [&](double value) {
        return !node.hasRange || (value >= node.lo && value <= node.hi);
    };
    const auto number = [&] {
        return Css::numberValue(text, Css::Token{token.type, token.start, token.length, token.numberLength});
    };
    const auto unitOf = [&] {
        return unitKind(
            Css::unit(text, Css::Token{token.type, token.start, token.length, token.numberLength}));
    };
    // A numeric type: its tokens, or a math function whose result has the type.
    const auto numeric = [&](bool takesNumber, bool takesZero, bool takesPercentage, UnitKind unit) -> int {
        switch (token.type) {
        case Css::TokenType::Number:
            if (takesNumber || (takesZero && number() == 0))
                return inRange(number()) ? next : -1;
            return -1;
        case Css::TokenType::Percentage:
            return takesPercentage && inRange(number()) ? next : -1;
        case Css::TokenType::Dimension:
            return unit != UnitKind::None && unitOf() == unit && inRange(number()) ? next : -1;
        case Css::TokenType::Function:
            if (!isMathFunction(tokens.functionName(pos)))
                return -1;
            return mathFits(tokens, pos, takesNumber, takesPercentage, unit) ? next : -1;
        default:
            return -1;
        }
    };
    switch (type) {
    case DataType::Length:
        return numeric(false, true, false, UnitKind::Length);
    case DataType::Percentage:
        return numeric(false, false, true, UnitKind::None);
    case DataType::LengthPercentage:
        return numeric(false, true, true, UnitKind::Length);
    case DataType::Number:
        return numeric(true, true, false, UnitKind::None);
    case DataType::Integer:
        if (token.type == Css::TokenType::Number &&
            !Css::isInteger(text, Css::Token{token.type, token.start, token.length, token.numberLength}))
            return -1;
        return numeric(true, true, false, UnitKind::None);
    case DataType::Angle:
        return numeric(false, false, false, UnitKind::Angle);
    case DataType::Time:
        return numeric(false, false, false, UnitKind::Time);
    case DataType::Frequency:
        return numeric(false, false, false, UnitKind::Frequency);
    case DataType::Resolution:
        return numeric(false, false, false, UnitKind::Resolution);
    case DataType::Flex:
        return numeric(false, false, false, UnitKind::Flex);
    case DataType::Dimension:
        if (token.type == Css::TokenType::Dimension)
            return next;
        // Any quantity: a math function is refused only when it is malformed.
        if (token.type == Css::TokenType::Function && isMathFunction(tokens.functionName(pos)) &&
            token.close > pos + 1 &&
            mathTypeOf(tokens, pos, MathType::Percent).outcome != MathResult::Outcome::Invalid)
            return next;
        return -1;
    case DataType::Zero:
        return token.type == Css::TokenType::Number && number() == 0 ? next : -1;
    case DataType::RectSide:
        if (token.type == Css::TokenType::Ident)
            return tokens.textOf(pos).compare(u"auto", Qt::CaseInsensitive) == 0 ? next : -1;
        return numeric(false, true, false, UnitKind::Length);
    case DataType::Color:
        return isColor(tokens, pos) ? next : -1;
    case DataType::HexColor:
        return token.type == Css::TokenType::Hash && isColor(tokens, pos) ? next : -1;
    case DataType::Url:
        if (token.type == Css::TokenType::Url)
            return next;
        if (token.type == Css::TokenType::Function &&
            (tokens.functionName(pos).compare(u"url", Qt::CaseInsensitive) == 0 ||
             tokens.functionName(pos).compare(u"src", Qt::CaseInsensitive) == 0) &&
            token.close > pos + 1 && tokens[pos + 1].type == Css::TokenType::String)
            return next;
        return -1;
    case DataType::String:
    case DataType::StringToken:
        return token.type == Css::TokenType::String ? next : -1;
    case DataType::Ident:
    case DataType::IdentToken:
        return token.type == Css::TokenType::Ident ? next : -1;
    case DataType::CustomIdent:
        if (token.type != Css::TokenType::Ident || isCssWideKeyword(tokens.textOf(pos)) ||
            tokens.textOf(pos).compare(u"default", Qt::CaseInsensitive) == 0)
            return -1;
        return next;
    case DataType::DashedIdent:
        return token.type == Css::TokenType::Ident && tokens.textOf(pos).startsWith(u"--") ? next : -1;
    case DataType::HashToken:
        return token.type == Css::TokenType::Hash ? next : -1;
    case DataType::NumberToken:
        return token.type == Css::TokenType::Number ? next : -1;
    case DataType::DimensionToken:
        return token.type == Css::TokenType::Dimension ? next : -1;
    case DataType::PercentageToken:
        return token.type == Css::TokenType::Percentage ? next : -1;
    case DataType::FunctionToken:
        return token.type == Css::TokenType::Function ? next : -1;
    case DataType::AnyValue:
    case DataType::Loose:
        return next;
    }
    return -1;
}

void DataTypes::anyValueEnds(const ValueTokens &tokens, int pos, std::vector<int> &ends)
{
    for (int i = pos; i < tokens.size() && !isForbidden(tokens[i].type);) {
        i = tokens.componentEnd(i);
        ends.push_back(i);
    }
}

} // namespace Check
