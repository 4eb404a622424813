#pragma once

#include "ValueTokens.h"

#include <array>

namespace Check {

// The kind of quantity a unit measures; None for an unknown unit.
enum class UnitKind : quint8 { None, Length, Angle, Time, Frequency, Resolution, Flex };
UnitKind unitKind(QStringView unit);

// The type of a quantity in a math function (calc(), min(), clamp(), round()...), as
// browsers work it out: a product of base types with powers, so that 2 * 10px is a
// length, 10px * 1px / 1px a length too, and 10px / 1px or -1 * 0 mere numbers (a
// number is no length, not even 0).
class MathType
{
public:
    enum Base : quint8 { Length, Angle, Time, Frequency, Resolution, Flex, Percent, BaseCount };

    MathType() = default; // a number
    explicit MathType(Base base) { m_power[base] = 1; }

    bool isNumber() const { return *this == MathType(); }
    bool hasPercent() const { return m_power[Percent] != 0; }
    bool operator==(const MathType &other) const { return m_power == other.m_power; }
    MathType times(const MathType &other) const;
    MathType dividedBy(const MathType &other) const;
    // The type with its percentages standing for `base`.
    MathType withPercentAs(Base base) const;

private:
    std::array<int, BaseCount> m_power{};
};

struct MathResult
{
    enum class Outcome : quint8 {
        Typed,   // the expression is well formed and has `type`
        Invalid, // a browser drops it: a missing operator, terms whose types differ...
        Unknown, // it holds something the typing does not know (a function, a word)
    };
    Outcome outcome = Outcome::Unknown;
    MathType type;
};

// The type of the math function whose Function token stands at `pos`. Percentages have
// the base type `percentAs`: Length where the place takes <length-percentage> (so that
// 100% - 10px adds up), else Percent, a type of their own. Adding, subtracting and
// comparing (min(), clamp()...) need terms of one type; the whole fits a place only
// when its type is the one the place wants, which the caller decides.
MathResult mathTypeOf(const ValueTokens &tokens, int pos, MathType::Base percentAs);

} // namespace Check
