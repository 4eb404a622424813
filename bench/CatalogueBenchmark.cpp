// Opening the real catalogue beside the program and building both lists, as start-up
// does: the element list with its pictures and pseudo-class nodes, and the attribute
// list with kinds and choices.
#include "Catalogue.h"
#include "Document.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

void openAndBuildBothLists(benchmark::State &state)
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (auto _ : state) {
        Catalogue catalogue;
        catalogue.open(folder);
        ImageList images;
        Document document;
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
        const auto attributes = catalogue.buildAttributeList();
        benchmark::DoNotOptimize(attributes.data());
        benchmark::DoNotOptimize(document.elements().elementCount());
    }
}
BENCHMARK(openAndBuildBothLists)->Unit(benchmark::kMillisecond);

// The look-ups a read makes per rule and per declaration.
void lookUps(benchmark::State &state)
{
    Catalogue catalogue;
    catalogue.open(QCoreApplication::applicationDirPath());
    const QString element = QStringLiteral("body");
    const QString attribute = QStringLiteral("background-color");
    for (auto _ : state) {
        benchmark::DoNotOptimize(catalogue.findElementRow(element).row);
        benchmark::DoNotOptimize(catalogue.findAttributeKind(attribute));
    }
}
BENCHMARK(lookUps);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
