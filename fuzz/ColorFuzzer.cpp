// libFuzzer target: reads arbitrary bytes as a colour text, and checks for every text
// that is a colour:
// - both sides (light and dark) have a value or stand for currentcolor, and a value
//   converted to every space has finite components and an alpha within 0..1;
// - the screen's colour lies within sRGB, and the 0x00BBGGRR one is a plain colour;
// - written in every form (the form's usual decimals and 12), the text reads back as a
//   colour, in the sRGB forms as one inside sRGB; excepted are lab() ... oklch() of a
//   colour whose lightness lies outside their range (CSS clamps it on reading), and
//   forms whose components pass a million (a text such as lab(70 0 3e31) is read, but
//   its lch() may round into a colour beyond the 1e30 XYZ that the reader takes);
// and for every text that the old reader (StrToColor) takes, that ColorToHex's text of
// it reads back as the same colour and the new reader takes the text too.
#include "ColorValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what, const std::string &text)
{
    std::fprintf(stderr, "colour fuzzer: %s\n  text: %s\n", what, text.c_str());
    std::abort();
}

// The lightness of lab(), lch(), oklab() and oklch() lies within 0..100 (0..1); a
// colour beyond it is imaginary, and what these forms write of it reads back clamped.
// Components beyond a million are no colour of any style sheet.
bool outsideForm(const ColorsValue &color, int form)
{
    if (form <= COLORS_FORM_HWB) // they write the screen's colour, always within sRGB
        return false;
    ColorsValue written = color;
    if (form == COLORS_FORM_COLOR && color.space > COLORS_XYZ_D65)
        ColorsConvert(&color, COLORS_SRGB, &written);
    static constexpr int spaces[] = {-1, -1, -1, -1, COLORS_LAB, COLORS_LCH, COLORS_OKLAB, COLORS_OKLCH, -1};
    if (spaces[form] >= 0)
        ColorsConvert(&color, spaces[form], &written);
    for (double c : written.c)
        if (std::fabs(c) > 1e6)
            return true;
    static constexpr struct
    {
        int form;
        double highest;
    } forms[] = {
        {COLORS_FORM_LAB, 100}, {COLORS_FORM_LCH, 100}, {COLORS_FORM_OKLAB, 1}, {COLORS_FORM_OKLCH, 1}};
    for (const auto &f : forms)
        if (f.form == form)
            return written.c[0] < 0 || written.c[0] > f.highest;
    return false;
}

void checkValue(const ColorsValue &color, const std::string &text)
{
    if (color.kind == COLORS_KIND_CURRENTCOLOR)
        return;
    if (color.kind != COLORS_KIND_VALUE || color.space < 0 || color.space >= COLORS_SPACE_COUNT)
        fail("a side has no value", text);
    for (int space = 0; space < COLORS_SPACE_COUNT; ++space) {
        ColorsValue out;
        if (!ColorsConvert(&color, space, &out))
            fail("a conversion failed", text);
        for (double c : out.c)
            if (!std::isfinite(c))
                fail("a converted component is not finite", text);
        if (!(out.alpha >= 0 && out.alpha <= 1))
            fail("alpha outside 0..1", text);
    }
    ColorsValue screen;
    if (!ColorsToScreen(&color, &screen))
        fail("no screen colour", text);
    for (double c : screen.c)
        if (!(c >= 0 && c <= 1))
            fail("the screen colour lies outside sRGB", text);
    if (ColorsToBgr(&color) > 0xFFFFFF)
        fail("the 0x00BBGGRR colour is no plain colour", text);
    for (int form = COLORS_FORM_HEX; form <= COLORS_FORM_COLOR; ++form)
        for (int precision : {-1, 12}) {
            const size_t length = ColorsFormat(&color, form, precision, COLORS_WRITE_SHORT, nullptr, 0);
            if (length == 0)
                fail("a form wrote nothing", text);
            std::vector<char> buffer(length + 1);
            if (ColorsFormat(&color, form, precision, COLORS_WRITE_SHORT, buffer.data(), buffer.size()) !=
                length)
                fail("the written length changed", text);
            ColorsText reread;
            if (outsideForm(color, form))
                continue;
            if (!ColorsParse(buffer.data(), length, &reread))
                fail(("a written form does not read back: " + std::string(buffer.data())).c_str(), text);
            if (form <= COLORS_FORM_HWB && !ColorsInSrgb(&reread.color))
                fail(("an sRGB form holds a colour outside sRGB: " + std::string(buffer.data())).c_str(),
                     text);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    ColorsText parsed;
    const int ok = ColorsParse(text.data(), text.size(), &parsed);
    if (ok != (parsed.color.kind != COLORS_KIND_NONE))
        fail("the result and the kind disagree", text);
    if (ok) {
        checkValue(parsed.color, text);
        checkValue(parsed.dark, text);
    }
    // The old reader on the text up to its first NUL, as its callers pass it.
    const uint32_t old = StrToColor(text.c_str());
    if (old != COLORS_NONE) {
        if (StrToColor(ColorToHex(old)) != old)
            fail("ColorToHex's text does not read back", text);
        ColorsText again;
        if (!ColorsParse(text.c_str(), std::char_traits<char>::length(text.c_str()), &again))
            fail("a text StrToColor takes is no colour", text);
    }
    return 0;
}
