#pragma once

#include "Grammar.h"
#include "ValueTokens.h"

#include <QString>
#include <vector>

namespace Check {

// The basic data types of values (<length>, <color>, <url>...), each matched by code
// rather than by a syntax. Numeric types also take the math functions (calc(), min(),
// clamp()...) whose result has their type (MathType.h).
enum class DataType : quint8 {
    Length,
    Percentage,
    LengthPercentage,
    Number,
    Integer,
    Angle,
    Time,
    Frequency,
    Resolution,
    Flex,
    Dimension,
    Zero,     // the number 0
    RectSide, // <length> | auto, the sides of rect()
    Color,
    HexColor,
    Url,
    String,
    Ident,
    CustomIdent, // an identifier of the author's choosing: not a CSS-wide keyword, not "default"
    DashedIdent, // --name
    AnyValue,    // one or more component values (declaration-value, any-value, calc internals)
    Loose,       // a type the check does not know: any one component value
    IdentToken,
    StringToken,
    HashToken,
    NumberToken,
    DimensionToken,
    PercentageToken,
    FunctionToken,
};

class DataTypes
{
public:
    // The data type behind a type name (lower case); false when the name is not a
    // basic data type and should be looked up among the named syntaxes.
    static bool find(const QString &name, DataType &type);

    // Colour keywords beyond currentcolor and transparent, lower case and sorted.
    void setColorKeywords(std::vector<QString> keywords);

    // The end of a value of the type at pos, or -1. Range limits of the node apply to
    // numbers written out; AnyValue has several ends and is answered by anyValueEnds.
    int match(DataType type, const SyntaxNode &node, const ValueTokens &tokens, int pos) const;
    // Every end of a run of one or more component values from pos, up to the end of the
    // enclosing block.
    static void anyValueEnds(const ValueTokens &tokens, int pos, std::vector<int> &ends);

    static bool isCssWideKeyword(QStringView word);
    // A colour's name: currentcolor, transparent, or one of the colour keywords.
    bool isColorKeyword(QStringView word) const;
    static bool isMathFunction(QStringView name);

private:
    bool isColor(const ValueTokens &tokens, int pos) const;

    std::vector<QString> m_colorKeywords;
};

} // namespace Check
