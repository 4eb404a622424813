// libColors: reading a million colour texts of every form, and converting each to the
// screen's sRGB colour (gamut-mapped where it lies outside) or to another space.
#include "ColorValue.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Count = 1000000;

// A million texts: the forms style sheets write, with components that vary from text to
// text (about a quarter of the oklch(), lab() and p3 ones lie outside sRGB).
const std::vector<std::string> &texts()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out;
        out.reserve(Count);
        char buffer[160];
        for (int i = 0; i < Count; ++i) {
            const int a = i % 256, b = (i / 7) % 256, c = (i / 13) % 256;
            const double f = a / 255.0, g = b / 255.0, h = c * 360.0 / 256;
            switch (i % 12) {
            case 0:
                std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", a, b, c);
                break;
            case 1:
                std::snprintf(buffer, sizeof buffer, "#%x%x%x%x", a % 16, b % 16, c % 16, (a + c) % 16);
                break;
            case 2:
                std::snprintf(buffer, sizeof buffer, "rgb(%d, %d, %d)", a, b, c);
                break;
            case 3:
                std::snprintf(buffer, sizeof buffer, "rgb(%d %d %d / %.2f)", a, b, c, g);
                break;
            case 4:
                std::snprintf(buffer, sizeof buffer, "hsl(%.1f %.1f%% %.1f%%)", h, f * 100, g * 100);
                break;
            case 5:
                std::snprintf(buffer, sizeof buffer, "oklch(%.3f %.3f %.2f)", f, g * 0.3, h);
                break;
            case 6:
                std::snprintf(buffer, sizeof buffer, "oklab(%.3f %.3f %.3f / %.1f%%)", f, g * 0.4 - 0.2,
                              0.2 - c / 640.0, g * 100);
                break;
            case 7:
                std::snprintf(buffer, sizeof buffer, "lab(%.2f %.2f %.2f)", f * 100, g * 160 - 80,
                              80 - c / 1.6);
                break;
            case 8:
                std::snprintf(buffer, sizeof buffer, "color(display-p3 %.4f %.4f %.4f)", f, g, c / 255.0);
                break;
            case 9:
                std::snprintf(buffer, sizeof buffer,
                              "color-mix(in oklch, #%02x%02x%02x %d%%, oklch(0.7 0.1 %.1f))", a, b, c,
                              a * 100 / 256, h);
                break;
            case 10:
                std::snprintf(buffer, sizeof buffer, "oklch(from #%02x%02x%02x l c calc(h + %d))", a, b, c,
                              c);
                break;
            default:
                static const char *const names[] = {
                    "red",           "CornflowerBlue",          "transparent",
                    "rebeccapurple", "light-dark(white, #111)", "currentcolor"};
                std::snprintf(buffer, sizeof buffer, "%s", names[i % 6]);
            }
            out.emplace_back(buffer);
        }
        return out;
    }();
    return all;
}

void parseOnly(benchmark::State &state)
{
    const auto &all = texts();
    for (auto _ : state) {
        int colours = 0;
        for (const std::string &t : all) {
            ColorsText parsed;
            colours += ColorsParse(t.data(), t.size(), &parsed);
        }
        benchmark::DoNotOptimize(colours);
    }
    state.SetItemsProcessed(state.iterations() * Count);
}

// What a swatch needs: the text read and the screen's 0x00BBGGRR colour.
void parseAndShow(benchmark::State &state)
{
    const auto &all = texts();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (const std::string &t : all) {
            ColorsText parsed;
            if (ColorsParse(t.data(), t.size(), &parsed))
                sum += ColorsToBgr(&parsed.color);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Count);
}

// The text read and converted to oklch, with its "outside sRGB" verdict.
void parseConvertAndJudge(benchmark::State &state)
{
    const auto &all = texts();
    for (auto _ : state) {
        double sum = 0;
        int outside = 0;
        for (const std::string &t : all) {
            ColorsText parsed;
            ColorsValue oklch;
            if (ColorsParse(t.data(), t.size(), &parsed) &&
                ColorsConvert(&parsed.color, COLORS_OKLCH, &oklch)) {
                sum += oklch.c[0];
                outside += !ColorsInSrgb(&parsed.color);
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(outside);
    }
    state.SetItemsProcessed(state.iterations() * Count);
}

} // namespace

BENCHMARK(parseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(parseAndShow)->Unit(benchmark::kMillisecond);
BENCHMARK(parseConvertAndJudge)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
