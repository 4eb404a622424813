// The declaration check over whole documents against the real catalogue: what checking
// every declaration adds to a read, on a real style sheet of about 1 MB (bulma and
// bootstrap one after the other) and on generated flat style sheets; and what the
// window's tree marks and problems list check when a document is read.
#include "Catalogue.h"
#include "CheckMarks.h"
#include "Document.h"
#include "DocumentCheck.h"
#include "ProblemsPane.h"
#include "StyleSheetGenerator.h"
#include "StyleSheetReader.h"
#include "TextFile.h"
#include "WindowBenchmarkEnvironment.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>
#include <ctime>

namespace {

// The processor time of this thread, in nanoseconds: the shares below are of the work
// done, whatever else the machine runs meanwhile.
qint64 cpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

using StyleSheetGenerator::Form;

struct Editor
{
    Editor()
    {
        const QString folder = QCoreApplication::applicationDirPath();
        catalogue.open(folder);
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
        check.open(folder);
    }
    Catalogue catalogue;
    ImageList images;
    Document document;
    DocumentCheck check;
};

Editor &editor()
{
    static Editor instance;
    return instance;
}

QString realSheet()
{
    QString text;
    for (const char *name : {"bulma.css", "bootstrap.css"})
        text += TextFile::load(QDir(QStringLiteral(LW_REAL_SHEETS_DIR)).filePath(QLatin1String(name))).text;
    return text;
}

void read(Editor &e, const QString &text, benchmark::State &state)
{
    if (!StyleSheetReader::readText(e.document, e.catalogue, text))
        state.SkipWithError("the read failed");
}

void setCounters(benchmark::State &state, const QString &text, size_t findings)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size() * 2);
    state.counters["findings"] = double(findings);
}

void BM_ReadRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    for (auto _ : state)
        read(e, text, state);
    setCounters(state, text, 0);
}
BENCHMARK(BM_ReadRealSheet)->Unit(benchmark::kMillisecond);

// The check alone, on the document the read made.
void BM_CheckRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    read(e, text, state);
    size_t findings = 0;
    for (auto _ : state)
        findings = e.check.checkDocument(e.document.elements()).size();
    setCounters(state, text, findings);
}
BENCHMARK(BM_CheckRealSheet)->Unit(benchmark::kMillisecond);

// A document as the window keeps it: the tree's marks and the problems list follow it.
// The handlers of the model's reset (a read) are timed: the marks' (their check of the
// read, which is the list's too) and then the list's (taking those findings, filling its
// rows), in the order the window makes them.
struct Window
{
    Window()
    {
        const QString folder = QCoreApplication::applicationDirPath();
        catalogue.open(folder);
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
        StyleSheetModel &model = document.elements();
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { start = cpuNs(); });
        marks = std::make_unique<CheckMarks>(
            model, [folder] { return folder; }, [](int) { return QVariant(); });
        QObject::connect(&model, &QAbstractItemModel::modelReset,
                         [this] { marksNs += cpuNs() - start; });
        pane = std::make_unique<ProblemsPane>(model, *marks);
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { allNs += cpuNs() - start; });
    }
    Catalogue catalogue;
    ImageList images;
    Document document;
    std::unique_ptr<CheckMarks> marks;
    std::unique_ptr<ProblemsPane> pane;
    qint64 start = 0;
    qint64 marksNs = 0; // the marks' check of each read, added up
    qint64 allNs = 0;   // and the list's taking of its findings after it
};

Window &window()
{
    static Window instance;
    return instance;
}

// The window's read of the real sheet: the read with what the window checks on it, with
// the list's default settings (every hint kind, no support target) and, with argument 1,
// the support target "Baseline widely available". Counters (processor time): the share
// of the check (the one pass for marks and list) and of all the marks and the list do on
// the read (their rows included), against the read without them (the whole less theirs);
// check_ms, the check's time per read.
void BM_OpenRealSheet(benchmark::State &state)
{
    Window &w = window();
    w.pane->setSupportTarget(state.range(0) ? SupportCheck::Target{SupportCheck::Target::Level::Widely, 0}
                                            : SupportCheck::Target{});
    const QString text = realSheet();
    w.marksNs = w.allNs = 0;
    qint64 wholeNs = 0;
    for (auto _ : state) {
        const qint64 before = cpuNs();
        if (!StyleSheetReader::readText(w.document, w.catalogue, text))
            state.SkipWithError("the read failed");
        wholeNs += cpuNs() - before;
    }
    const double readNs = double(wholeNs - w.allNs);
    state.counters["check_share"] = double(w.marksNs) / readNs;
    state.counters["open_share"] = double(w.allNs) / readNs;
    state.counters["check_ms"] = double(w.marksNs) / 1e6 / double(state.iterations());
    setCounters(state, text, size_t(w.pane->problemCount()));
}
BENCHMARK(BM_OpenRealSheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The tree's marks alone: what the window checks before it paints a read document.
void BM_MarksRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    read(e, text, state);
    DocumentCheck::Options marks;
    marks.nodes = false;
    size_t findings = 0;
    for (auto _ : state)
        findings = e.check.checkDocument(e.document.elements(), marks).size();
    setCounters(state, text, findings);
}
BENCHMARK(BM_MarksRealSheet)->Unit(benchmark::kMillisecond);

// The problems list's check: everything, hints and the support target included.
void BM_ProblemsRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    read(e, text, state);
    DocumentCheck::Options problems;
    problems.hints = DocumentCheck::allHints();
    problems.support = {SupportCheck::Target::Level::Widely, 0};
    size_t findings = 0;
    for (auto _ : state)
        findings = e.check.checkDocument(e.document.elements(), problems).size();
    setCounters(state, text, findings);
}
BENCHMARK(BM_ProblemsRealSheet)->Unit(benchmark::kMillisecond);

// A fresh check, as loomcss makes one per run: the syntaxes are read and compiled anew.
void BM_FirstCheckRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    read(e, text, state);
    size_t findings = 0;
    for (auto _ : state) {
        DocumentCheck check;
        check.open(QCoreApplication::applicationDirPath());
        findings = check.checkDocument(e.document.elements()).size();
    }
    setCounters(state, text, findings);
}
BENCHMARK(BM_FirstCheckRealSheet)->Unit(benchmark::kMillisecond);

void readAndCheck(benchmark::State &state, Form form)
{
    Editor &e = editor();
    const QString text = StyleSheetGenerator::generate(form, int(state.range(0)));
    size_t findings = 0;
    for (auto _ : state) {
        read(e, text, state);
        findings = e.check.checkDocument(e.document.elements()).size();
    }
    setCounters(state, text, findings);
}

void BM_ReadAndCheckWriterForm(benchmark::State &state)
{
    readAndCheck(state, Form::Writer);
}
void BM_ReadAndCheckHandWritten(benchmark::State &state)
{
    readAndCheck(state, Form::HandWritten);
}
BENCHMARK(BM_ReadAndCheckWriterForm)->Arg(40000)->Arg(400000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndCheckHandWritten)->Arg(40000)->Arg(400000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The problems list is a widget: an offscreen application, its settings in a
    // temporary folder.
    WindowBenchmarkEnvironment environment;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
