// A large style sheet in the real main window, offscreen: a generated flat style sheet
// of about 10 MB (100,000 rules, 400,000 declarations, most selectors not in the
// catalogue) is opened, clicked, edited, saved and shown in the code window, each step
// timed up to the repaint that shows its result. The last entry reports the process's
// peak memory against the file's size.
//
// With --sheet=real the window opens a real style sheet instead: bootstrap.css and
// bulma.css repeated to 10 MB (at-rule blocks, nested rules, comments). The steps on
// particular rules of the flat sheet (collapse, clicks, value changes) are left out;
// open, scroll, Save, Edit Code, the reload and the peak memory run as for the flat one.
// Run the two apart: the peak memory is the process's.
//
// Each step goes through what the window offers a user: readStyleSheet for Open, the
// current node of `Elements` for a click (the click steps follow every change of it),
// the spin edit's and the file box's values for a value change, FinishClick for Save,
// CodeClick for Edit Code, with the code window driven from a zero timer once it runs.
#include "CheckMarks.h"
#include "DocumentEdits.h"
#include "ElementsTreeView.h"
#include "ProcessMemory.h"
#include "StyleSheetGenerator.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "WindowBenchmarkEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr qint64 RealBytes = 10000000;

enum class Sheet { Flat, Real };
Sheet sheet = Sheet::Flat;

struct Memory
{
    qint64 rssKb = 0;
    qint64 peakKb = 0;
};

// Starts a new peak: the kernel sets the high-water mark back to the current size.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

Memory memory()
{
    Memory m;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2)
            continue;
        if (words[0] == "VmRSS:")
            m.rssKb = words[1].toLongLong();
        else if (words[0] == "VmHWM:")
            m.peakKb = words[1].toLongLong();
    }
    return m;
}

// The highest peak of the steps run so far.
qint64 overallPeakKb = 0;

// Counts the passes through the event loop while a step runs and the longest time
// between two of them, and whether the wait cursor was up in each pass.
class EventProbe
{
public:
    EventProbe()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestGapNs = std::max(m_longestGapNs, now - m_last);
            m_last = now;
            ++m_passes;
            const QCursor *cursor = QApplication::overrideCursor();
            if (cursor && cursor->shape() == Qt::WaitCursor)
                ++m_waitPasses;
        });
    }
    void start()
    {
        m_passes = m_waitPasses = 0;
        m_longestGapNs = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop()
    {
        m_timer.stop();
        m_longestGapNs = std::max(m_longestGapNs, m_clock.nsecsElapsed() - m_last);
    }
    int passes() const { return m_passes; }
    int waitPasses() const { return m_waitPasses; }
    double longestGapMs() const { return double(m_longestGapNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longestGapNs = 0;
    int m_passes = 0;
    int m_waitPasses = 0;
};

struct Window
{
    QTemporaryDir folder;
    QString path;
    qint64 fileSize = 0;
    Memory beforeOpen;
    bool opened = false;
    int firstDeclarations = -1; // the real sheet's declarations at its first open
    TMainForm form;

    bool prepare()
    {
        path = folder.filePath(QStringLiteral("large.css"));
        QFile file(path);
        const QByteArray text = sheet == Sheet::Flat ? StyleSheetGenerator::windowSheet()
                                                     : StyleSheetGenerator::realStyleSheet(RealBytes);
        if (text.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return false;
        file.close();
        fileSize = text.size();
        if (!form.FormCreate())
            return false;
        form.show();
        QElapsedTimer limit;
        limit.start();
        while (!form.document().hasPseudoClassNodes() && limit.elapsed() < 10000)
            QApplication::processEvents();
        beforeOpen = memory();
        overallPeakKb = beforeOpen.peakKb;
        return form.document().hasPseudoClassNodes();
    }

    StyleSheetModel &model() { return form.document().elements(); }

    // Opening ends with every element node expanded. Where the window has not expanded
    // them itself, it is done here, so that the figure covers it either way.
    void showExpanded()
    {
        const int last = model().elementCount() - 1;
        if (last >= 0 && !form.Elements->isExpanded(model().elementIndex(last)))
            form.Elements->expandAll();
        form.repaint();
    }

    // What the check of the last read has taken (milliseconds).
    double readCheckMs() const
    {
        const CheckMarks *marks = form.findChild<CheckMarks *>();
        return marks ? double(marks->readCheckNs()) / 1e6 : 0;
    }

    bool open()
    {
        if (!form.readStyleSheet(path))
            return false;
        showExpanded();
        opened = true;
        return true;
    }

    // The check of a large read goes on after it is shown: the events are handled until
    // its marks are in the tree.
    void waitForTheCheck()
    {
        const CheckMarks *marks = form.findChild<CheckMarks *>();
        while (marks && marks->checking())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        form.repaint();
    }

    static int attributeCount(const ElementNodes &nodes)
    {
        int count = 0;
        for (const auto &node : nodes)
            count += int(node->attributes.size()) + attributeCount(node->children);
        return count;
    }
    // The declarations of the document, at every depth.
    int attributeCount() { return attributeCount(model().elements()); }

    // Whether the document holds every declaration of the file: all of the flat sheet's;
    // for the real sheet, as many as its first open found.
    bool holdsEveryDeclaration()
    {
        const int count = attributeCount();
        if (sheet == Sheet::Flat)
            return count == StyleSheetGenerator::WindowRules * StyleSheetGenerator::WindowDeclarationsPerRule;
        if (firstDeclarations < 0)
            firstDeclarations = count;
        return count > 0 && count == firstDeclarations;
    }

    // The attribute node `attribute` of the rule ".item-<rule> a".
    QModelIndex ruleAttribute(int rule, int attribute)
    {
        const QString label = QStringLiteral(".item-%1 a").arg(rule);
        for (int i = model().elementCount() - 1; i >= 0; --i)
            if (model().element(i).label == label)
                return model().attributeIndex(i, attribute);
        return {};
    }

    void click(const QModelIndex &index)
    {
        form.Elements->setCurrentIndex(index);
        form.repaint();
    }
};

Window *window = nullptr;

// Each step reports its own peak resident memory; the last entry reports the highest.
class StepPeak
{
public:
    explicit StepPeak(benchmark::State &state) : m_state(state) { resetPeak(); }
    ~StepPeak()
    {
        const qint64 peakKb = memory().peakKb;
        overallPeakKb = std::max(overallPeakKb, peakKb);
        m_state.counters["peakMB"] = double(peakKb) * 1024 / 1e6;
    }
    StepPeak(const StepPeak &) = delete;
    StepPeak &operator=(const StepPeak &) = delete;

private:
    benchmark::State &m_state;
};

bool ensureOpen(benchmark::State &state)
{
    if (window->opened || window->open()) {
        window->waitForTheCheck();
        return true;
    }
    state.SkipWithError("the style sheet could not be read");
    return false;
}

// Open: from the call until the tree is shown with every element node expanded and the
// check's marks are in it (shownMs: until the tree is first shown, marks or not; the
// longest gap covers the check that goes on after that; checkMs, the check's own time).
void open(benchmark::State &state)
{
    const StepPeak peak(state);
    EventProbe probe;
    static std::optional<double> firstOpenPeakMB;
    static std::optional<double> firstOpenRssMB;
    int passes = 0;
    int waitPasses = 0;
    double gap = 0;
    double shownMs = 0;
    double checkMs = 0;
    double openMs = 0;
    for (auto _ : state) {
        QElapsedTimer shown;
        shown.start();
        probe.start();
        const bool read = window->open();
        shownMs += double(shown.nsecsElapsed()) / 1e6;
        if (read)
            window->waitForTheCheck();
        openMs += double(shown.nsecsElapsed()) / 1e6;
        checkMs += window->readCheckMs();
        probe.stop();
        if (!read) {
            state.SkipWithError("the style sheet could not be read");
            return;
        }
        if (!firstOpenPeakMB) { // the first open in the process, from an empty style sheet
            const Memory after = memory();
            firstOpenPeakMB = double(after.peakKb) * 1024 / 1e6;
            firstOpenRssMB = double(after.rssKb) * 1024 / 1e6;
        }
        passes += probe.passes();
        waitPasses += probe.waitPasses();
        gap = std::max(gap, probe.longestGapMs());
    }
    const int elements = window->model().elementCount();
    const int attributes = window->attributeCount();
    if (!window->holdsEveryDeclaration())
        state.SkipWithError("the document does not hold every declaration");
    state.counters["MB"] = double(window->fileSize) / 1e6;
    state.counters["elements"] = elements;
    state.counters["attributes"] = attributes;
    state.counters["eventPasses"] = benchmark::Counter(passes, benchmark::Counter::kAvgIterations);
    state.counters["waitCursorPasses"] = benchmark::Counter(waitPasses, benchmark::Counter::kAvgIterations);
    state.counters["longestGapMs"] = gap;
    state.counters["shownMs"] = shownMs / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    // The check's part of the open: its time, and its share against the rest of the
    // open (reading the file, filling and showing the tree).
    state.counters["checkMs"] = checkMs / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["checkShareOfOpen"] = openMs > checkMs ? checkMs / (openMs - checkMs) : 0;
    if (firstOpenPeakMB) {
        state.counters["firstOpenPeakMB"] = *firstOpenPeakMB;
        state.counters["firstOpenPeakPerFileSize"] = *firstOpenPeakMB * 1e6 / double(window->fileSize);
        // What the process holds once the first open is over and the tree is shown.
        state.counters["firstOpenRssMB"] = *firstOpenRssMB;
        state.counters["firstOpenRssPerFileSize"] = *firstOpenRssMB * 1e6 / double(window->fileSize);
        state.counters["rssBeforeOpenMB"] = double(window->beforeOpen.rssKb) * 1024 / 1e6;
    }
}

// Scrolling the expanded tree by a page at a time, each page painted.
void scrollPage(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    QScrollBar *bar = window->form.Elements->verticalScrollBar();
    int value = bar->maximum() / 2;
    for (auto _ : state) {
        value = value + bar->pageStep() > bar->maximum() ? 0 : value + bar->pageStep();
        bar->setValue(value);
        window->form.Elements->viewport()->repaint();
    }
    state.counters["rows"] = double(bar->maximum() + bar->pageStep());
}

// Collapsing and expanding again an element node in the middle of the expanded tree.
void collapseAndExpand(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    const QModelIndex node = window->ruleAttribute(40001, 0).parent();
    for (auto _ : state) {
        window->form.Elements->collapse(node);
        window->form.Elements->viewport()->repaint();
        window->form.Elements->expand(node);
        window->form.Elements->viewport()->repaint();
    }
    if (!window->form.Elements->isExpanded(node))
        state.SkipWithError("the node stayed collapsed");
}

// A click on an attribute node: the current node moves to it, the click steps preset
// its editor, and the window repaints. Alternates between two number nodes far apart.
void clickAttribute(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    const QModelIndex nodes[] = {window->ruleAttribute(30001, 1), window->ruleAttribute(70001, 1)};
    if (!nodes[0].isValid() || !nodes[1].isValid()) {
        state.SkipWithError("no such rule");
        return;
    }
    int i = 0;
    for (auto _ : state)
        window->click(nodes[i++ % 2]);
}

// A value change in the number editor on a clicked number node, then the repaint.
void changeNumber(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    const QModelIndex node = window->ruleAttribute(50001, 1);
    window->click(node);
    int value = 10;
    for (auto _ : state) {
        window->form.Numbers->setValue(++value % 2 == 0 ? 10 : 11);
        window->form.repaint();
    }
    // 1 when the last value reached the node (the window's change handler wrote it).
    state.counters["written"] =
        node.data().toString() == QStringLiteral("font-size=%1").arg(value % 2 == 0 ? 10 : 11);
}

// A value change in the file box on a clicked URL node, then the repaint.
void changeFile(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    const QModelIndex node = window->ruleAttribute(50003, 3);
    window->click(node);
    QString text;
    int i = 0;
    for (auto _ : state) {
        text = ++i % 2 == 0 ? QStringLiteral("a.png") : QStringLiteral("b.png");
        window->form.FileEdit->setText(text);
        window->form.repaint();
    }
    state.counters["written"] = node.data().toString() == QStringLiteral("background-image=\"%1\"").arg(text);
}

// Save: the whole style sheet written over its file.
void save(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    for (auto _ : state) {
        window->form.FinishClick();
        window->form.repaint();
    }
    state.counters["MB"] = double(QFileInfo(window->path).size()) / 1e6;
}

// Runs Edit Code; once the code window runs its own event loop, `inside` gets it, and
// must close it. Returns the time from the command to that moment, with the code
// window painted once.
double withCodeWindow(const std::function<void(TCodeForm *)> &inside)
{
    QElapsedTimer clock;
    double shownMs = -1;
    QTimer::singleShot(0, &window->form, [&] {
        auto *code = window->form.findChild<TCodeForm *>();
        if (!code)
            return;
        code->repaint();
        shownMs = double(clock.nsecsElapsed()) / 1e6;
        // A large text goes on going in after the window is shown: what follows (the
        // line count, Save, the peak memory) is taken with the whole text in.
        while (code->isFilling())
            QCoreApplication::processEvents();
        inside(code);
        if (code->isVisible())
            code->reject();
    });
    clock.start();
    window->form.CodeClick();
    return shownMs;
}

// Edit Code: the writer's text filled into the code window, and the window shown.
void editCode(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    qint64 lines = 0;
    for (auto _ : state) {
        const double ms = withCodeWindow([&](TCodeForm *code) {
            lines = code->Code->document()->blockCount();
            code->CloseClick();
        });
        if (ms < 0) {
            state.SkipWithError("the code window did not open");
            return;
        }
        state.SetIterationTime(ms / 1e3);
    }
    state.counters["lines"] = double(lines);
}

// Save in the code window, then Close, which reads the saved file back into the
// window's style sheet; timed from Close until the tree is shown expanded again.
void codeCloseWithReload(benchmark::State &state)
{
    const StepPeak peak(state);
    if (!ensureOpen(state))
        return;
    double saveMs = 0;
    qint64 savePeakKb = 0;
    for (auto _ : state) {
        double closeMs = -1;
        QElapsedTimer clock;
        withCodeWindow([&](TCodeForm *code) {
            // Edit Code's own peak is the entry above; from here on, Save's.
            overallPeakKb = std::max(overallPeakKb, memory().peakKb);
            resetPeak();
            clock.start();
            code->SaveClick();
            saveMs = std::max(saveMs, double(clock.nsecsElapsed()) / 1e6);
            savePeakKb = std::max(savePeakKb, memory().peakKb);
            resetPeak();
            clock.start();
            code->CloseClick();
        });
        if (!clock.isValid()) {
            state.SkipWithError("the code window did not open");
            return;
        }
        window->showExpanded();
        window->waitForTheCheck();
        closeMs = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(closeMs / 1e3);
    }
    if (!window->holdsEveryDeclaration())
        state.SkipWithError("the read-back lost declarations");
    state.counters["codeSaveMs"] = saveMs;
    state.counters["codeSavePeakMB"] = double(savePeakKb) * 1024 / 1e6;
    overallPeakKb = std::max(overallPeakKb, savePeakKb);
}

// The process's peak resident memory over all the steps above, against the file.
void peakMemory(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(memory());
    const qint64 peakKb = std::max(overallPeakKb, memory().peakKb);
    const double size = double(window->fileSize);
    state.counters["fileMB"] = size / 1e6;
    state.counters["rssBeforeOpenMB"] = double(window->beforeOpen.rssKb) * 1024 / 1e6;
    state.counters["peakMB"] = double(peakKb) * 1024 / 1e6;
    state.counters["peakPerFileSize"] = double(peakKb) * 1024 / size;
    state.counters["growthPerFileSize"] = double(peakKb - window->beforeOpen.rssKb) * 1024 / size;
}

// The steps in the order they run; names carry the sheet ("real/open").
void registerSteps()
{
    using benchmark::RegisterBenchmark;
    const bool flat = sheet == Sheet::Flat;
    const auto name = [flat](const char *step) { return std::string(flat ? "" : "real/") + step; };
    const auto ms = benchmark::kMillisecond;
    RegisterBenchmark(name("open").c_str(), open)->Iterations(3)->Unit(ms)->UseRealTime();
    RegisterBenchmark(name("scrollPage").c_str(), scrollPage)->Unit(ms)->UseRealTime();
    if (flat) {
        RegisterBenchmark(name("collapseAndExpand").c_str(), collapseAndExpand)->Unit(ms)->UseRealTime();
        RegisterBenchmark(name("clickAttribute").c_str(), clickAttribute)->Unit(ms)->UseRealTime();
        RegisterBenchmark(name("changeNumber").c_str(), changeNumber)->Unit(ms)->UseRealTime();
        RegisterBenchmark(name("changeFile").c_str(), changeFile)->Unit(ms)->UseRealTime();
    }
    RegisterBenchmark(name("save").c_str(), save)->Unit(ms)->UseRealTime();
    RegisterBenchmark(name("editCode").c_str(), editCode)->Unit(ms)->UseManualTime()->Iterations(3);
    RegisterBenchmark(name("codeCloseWithReload").c_str(), codeCloseWithReload)
        ->Unit(ms)
        ->UseManualTime()
        ->Iterations(3);
    RegisterBenchmark(name("peakMemory").c_str(), peakMemory)->Iterations(1)->Unit(ms);
}

// Takes --sheet=flat or --sheet=real out of the arguments; false for another sheet.
bool takeSheetArgument(int &argc, char **argv)
{
    int kept = 1;
    bool known = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sheet=", 8) != 0) {
            argv[kept++] = argv[i];
            continue;
        }
        const char *value = argv[i] + 8;
        if (std::strcmp(value, "real") == 0)
            sheet = Sheet::Real;
        else if (std::strcmp(value, "flat") == 0)
            sheet = Sheet::Flat;
        else
            known = false;
    }
    argc = kept;
    argv[argc] = nullptr;
    return known;
}

} // namespace

int main(int argc, char **argv)
{
    if (!takeSheetArgument(argc, argv)) {
        std::fprintf(stderr, "--sheet takes flat or real\n");
        return 2;
    }
    // As the program's main() does.
    ProcessMemory::returnLargeBlocksToSystem();
    const WindowBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Loomwright CSS"));
    benchmark::Initialize(&argc, argv);
    registerSteps();

    Window instance;
    if (!instance.prepare()) {
        std::fprintf(stderr, "The main window could not be made ready.\n");
        return 1;
    }
    window = &instance;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window = nullptr;
    return 0;
}
