// The code window on a large style sheet, offscreen, in a real window: the same
// generated flat sheet of about 10 MB as the main window's benchmark (100,000 rules,
// one per line, 400,000 declarations), in the writer's form.
//
//   open           start() and show until the first page is painted
//   scrollMiddle   Go to Line in the middle, painted with its colours
//   keyPress       a key typed in the middle of the text, until painted (median, worst)
//   findWord       a word that occurs 100,000 times found and its matches in view shown
//   check          the live check of the whole text: copied from the window a slice
//                  at a time, read on its own thread (longestStepMs: the longest the
//                  window's event loop was kept busy meanwhile)
//   statesAll      the end states of every line worked out (done a slice at a time
//                  from the event loop in the window)
//   coloursAll     every line read for its colours and swatches, as the lines in view
//                  are when painted: the whole sheet's worth of that work
#include "Catalogue.h"
#include "CodeCheck.h"
#include "CodeEditor.h"
#include "CssHighlighter.h"
#include "FindBar.h"
#include "ProcessMemory.h"
#include "StyleSheetGenerator.h"
#include "TCodeForm.h"
#include "WindowBenchmarkEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextBlock>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Rules = StyleSheetGenerator::WindowRules;

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Fixture
{
    QString text;
    Catalogue catalogue;
    std::unique_ptr<TCodeForm> form;
};
Fixture *fixture = nullptr;

// Opens the window afresh; gives the time to the first painted page.
double openWindow()
{
    fixture->form.reset();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    fixture->form = std::make_unique<TCodeForm>();
    TCodeForm &form = *fixture->form;
    form.setCatalogue(&fixture->catalogue);
    form.start(QStringLiteral("Not Saved"), fixture->text, TextFile::Encoding::Utf8);
    form.show();
    form.repaint();
    const double ms = msSince(clock);
    while (form.isFilling())
        QCoreApplication::processEvents();
    return ms;
}

void open(benchmark::State &state)
{
    for (auto _ : state)
        state.SetIterationTime(openWindow() / 1e3);
    state.counters["lines"] = fixture->form->Code->blockCount();
    state.counters["MB"] = double(fixture->text.size()) / 1e6;
}
BENCHMARK(open)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void scrollMiddle(benchmark::State &state)
{
    CodeEditor *editor = fixture->form->Code;
    int line = Rules / 2;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        editor->goToLine(line);
        editor->viewport()->repaint();
        state.SetIterationTime(msSince(clock) / 1e3);
        line += 1000;
    }
    const QTextBlock block = editor->textCursor().block();
    if (block.layout()->formats().isEmpty())
        state.SkipWithError("the lines in view were not coloured");
}
BENCHMARK(scrollMiddle)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void keyPress(benchmark::State &state)
{
    CodeEditor *editor = fixture->form->Code;
    editor->goToLine(Rules / 2);
    editor->moveCursor(QTextCursor::EndOfLine);
    editor->viewport()->repaint();
    std::vector<double> times;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(editor, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(editor, &release);
        // What the edit left to do before the screen shows it: layout, colours, paint.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        editor->viewport()->repaint();
        const double ms = msSince(clock);
        times.push_back(ms);
        state.SetIterationTime(ms / 1e3);
    }
    std::sort(times.begin(), times.end());
    state.counters["medianMs"] = times[times.size() / 2];
    state.counters["worstMs"] = times.back();
}
BENCHMARK(keyPress)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(200);

void findWord(benchmark::State &state)
{
    TCodeForm &form = *fixture->form;
    size_t matches = 0;
    for (auto _ : state) {
        form.Find->close();
        form.Find->FindEdit->clear();
        QElapsedTimer clock;
        clock.start();
        form.FindClick(false);
        form.Find->FindEdit->setText(QStringLiteral("font-size"));
        form.Code->viewport()->repaint();
        state.SetIterationTime(msSince(clock) / 1e3);
        matches = form.Code->matches().size();
    }
    state.counters["matches"] = double(matches);
    if (matches != size_t(Rules))
        state.SkipWithError("not every occurrence was found");
    form.Find->close();
}
BENCHMARK(findWord)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The window's text as Save and the check take it, on the window's thread.
void windowText(benchmark::State &state)
{
    TCodeForm &form = *fixture->form;
    double rawMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const QString raw = form.Code->document()->toRawText();
        rawMs = std::max(rawMs, msSince(clock));
        clock.start();
        const QString text = form.text();
        state.SetIterationTime(msSince(clock) / 1e3);
        benchmark::DoNotOptimize(text.size() + raw.size());
    }
    state.counters["rawTextMs"] = rawMs;
}
BENCHMARK(windowText)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void check(benchmark::State &state)
{
    TCodeForm &form = *fixture->form;
    double longestStepMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        form.checkNow();
        // Each turn of the window's event loop is timed: the longest is what a key
        // pressed during the check could wait for.
        while (form.isChecking()) {
            QElapsedTimer step;
            step.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longestStepMs = std::max(longestStepMs, msSince(step));
        }
        state.SetIterationTime(msSince(clock) / 1e3);
    }
    state.counters["longestStepMs"] = longestStepMs;
    if (!form.statusText().isEmpty())
        state.SkipWithError(("the check refused the sheet: " + form.statusText()).toStdString().c_str());
}
BENCHMARK(check)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

void statesAll(benchmark::State &state)
{
    CodeEditor *editor = fixture->form->Code;
    for (auto _ : state) {
        // A comment opened on the first line changes the state of every line after it.
        QTextCursor top(editor->document());
        top.insertText(QStringLiteral("/*"));
        QElapsedTimer clock;
        clock.start();
        editor->highlighter()->ensureStates(editor->blockCount() - 1);
        state.SetIterationTime(msSince(clock) / 1e3);
        top.deletePreviousChar();
        top.deletePreviousChar();
        editor->highlighter()->ensureStates(editor->blockCount() - 1);
    }
}
BENCHMARK(statesAll)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void coloursAll(benchmark::State &state)
{
    const QStringView text = fixture->text;
    size_t swatches = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        CssColouring::LineScanner scanner;
        std::vector<CssColouring::Span> spans;
        std::vector<CssColouring::Swatch> found;
        swatches = 0;
        for (qsizetype start = 0; start <= text.size();) {
            qsizetype end = text.indexOf(QLatin1Char('\n'), start);
            if (end < 0)
                end = text.size();
            spans.clear();
            found.clear();
            scanner.scan(text.sliced(start, end - start), &spans, &found);
            swatches += found.size();
            start = end + 1;
        }
        state.SetIterationTime(msSince(clock) / 1e3);
    }
    state.counters["swatches"] = double(swatches);
    if (swatches == 0)
        state.SkipWithError("no colours in the sheet");
}
BENCHMARK(coloursAll)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    ProcessMemory::returnLargeBlocksToSystem();
    const WindowBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Loomwright CSS"));
    benchmark::Initialize(&argc, argv);
    Fixture instance;
    instance.text = QString::fromLatin1(StyleSheetGenerator::windowSheet());
    try {
        instance.catalogue.open(QCoreApplication::applicationDirPath());
    } catch (...) {
        std::fprintf(stderr, "The catalogue beside the benchmark could not be opened.\n");
        return 1;
    }
    fixture = &instance;
    openWindow();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    instance.form.reset();
    fixture = nullptr;
    return 0;
}
