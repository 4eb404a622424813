// Start-up to the shown main window, offscreen, with the real catalogue beside the
// program: the start-up screen with its installation checks, the main window's
// creation (tables, both lists, the font list) and its first activation (the
// pseudo-class nodes). The first run in a process pays for the font list once.
#include "TMainForm.h"
#include "TSplashForm.h"
#include "WindowBenchmarkEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

void startUp()
{
    auto splash = std::make_unique<TSplashForm>();
    splash->show();
    TMainForm form;
    form.setProgress([&splash](const QString &text, int position) {
        if (splash && position >= 0)
            splash->setProgress(text, position);
    });
    if (!form.FormCreate())
        return;
    splash.reset();
    form.show();
    QElapsedTimer limit;
    limit.start();
    while (!form.document().hasPseudoClassNodes() && limit.elapsed() < 10000)
        QApplication::processEvents();
    benchmark::DoNotOptimize(form.document().elements().elementCount());
}

void firstStartUpInProcess(benchmark::State &state)
{
    for (auto _ : state)
        startUp();
}
BENCHMARK(firstStartUpInProcess)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void laterStartUps(benchmark::State &state)
{
    for (auto _ : state)
        startUp();
}
BENCHMARK(laterStartUps)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    const WindowBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Loomwright CSS"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
