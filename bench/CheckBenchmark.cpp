// The declaration check on typical declarations against the real syntax.db: thousands
// of declarations of the kinds style sheets are made of, each checked in full.
#include "StyleSheetGenerator.h"
#include "ValueChecker.h"

#include <QCoreApplication>
#include <QDir>
#include <benchmark/benchmark.h>
#include <utility>
#include <vector>

namespace {

using Declarations = std::vector<std::pair<QString, QString>>;

// About 4,000 declarations: common properties with numbers that vary, so that no two
// are alike, and a share of wrong ones.
Declarations typicalDeclarations()
{
    const std::pair<const char *, const char *> patterns[] = {
        {"color", "#%1"},
        {"background-color", "rgba(%2, 10, 20, .5)"},
        {"margin", "%2px auto"},
        {"padding", "%2px %3px %2px %3px"},
        {"font-size", "%2px"},
        {"font-family", "\"Helvetica Neue\", Arial, sans-serif"},
        {"font", "italic bold %2px/1.4 Georgia, serif"},
        {"display", "flex"},
        {"width", "calc(100% - %2px)"},
        {"border", "%3px solid #%1"},
        {"border-radius", "%2px %3px / %3px"},
        {"box-shadow", "0 %3px %2px rgba(0,0,0,.2), inset 0 0 0 1px #fff"},
        {"transition", "opacity .%3s ease-in-out, transform .%3s"},
        {"background", "url(img/a%2.png) no-repeat center / cover"},
        {"grid-template-columns", "repeat(%3, minmax(%2px, 1fr))"},
        {"transform", "translate(-%2%, -50%) rotate(%2deg)"},
        {"text-align", "center"},
        {"line-height", "1.%3"},
        {"z-index", "%2"},
        {"position", "absolute"},
        {"top", "%2px"},
        {"animation", "spin %3s linear infinite"},
        {"margin", "%2 px"},  // wrong: a number and a word
        {"display", "flexx"}, // wrong: no such keyword
        {"colr", "red"},      // wrong: unknown property
        {"color", "var(--c%2)"},
    };
    Declarations declarations;
    for (int i = 0; declarations.size() < 4000; ++i) {
        for (const auto &[property, value] : patterns) {
            const QString text =
                QString::fromLatin1(value)
                    .replace(QLatin1String("%1"),
                             QStringLiteral("%1").arg(i * 2654435 % 0xFFFFFF, 6, 16, QLatin1Char('0')))
                    .replace(QLatin1String("%2"), QString::number(i % 97 + 1))
                    .replace(QLatin1String("%3"), QString::number(i % 7 + 1));
            declarations.emplace_back(QString::fromLatin1(property), text);
        }
    }
    return declarations;
}

ValueChecker &checker()
{
    static ValueChecker instance;
    static bool opened = false;
    if (!opened) {
        instance.open(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("syntax.db")));
        opened = true;
    }
    return instance;
}

void checkTypical(benchmark::State &state)
{
    const Declarations declarations = typicalDeclarations();
    ValueChecker &check = checker();
    for (auto _ : state) {
        int valid = 0;
        for (const auto &[property, value] : declarations)
            valid += check.check(property, value).verdict == ValueChecker::Verdict::Valid;
        benchmark::DoNotOptimize(valid);
    }
    state.SetItemsProcessed(state.iterations() * qint64(declarations.size()));
}
BENCHMARK(checkTypical)->Unit(benchmark::kMillisecond);

// The declarations of the generated style sheets the reader benchmarks use.
void checkGenerated(benchmark::State &state)
{
    Declarations declarations;
    const QString sheet = StyleSheetGenerator::generate(StyleSheetGenerator::Form::HandWritten, 4000);
    for (QStringView line : QStringView(sheet).split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (!line.startsWith(u"    ") || colon < 0)
            continue;
        QStringView value = line.sliced(colon + 1);
        if (value.endsWith(u';'))
            value.chop(1);
        declarations.emplace_back(line.first(colon).trimmed().toString(), value.trimmed().toString());
    }
    ValueChecker &check = checker();
    for (auto _ : state) {
        int valid = 0;
        for (const auto &[property, value] : declarations)
            valid += check.check(property, value).verdict == ValueChecker::Verdict::Valid;
        benchmark::DoNotOptimize(valid);
    }
    state.SetItemsProcessed(state.iterations() * qint64(declarations.size()));
}
BENCHMARK(checkGenerated)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
