// The declaration check over whole documents against the real catalogue: what checking
// every declaration adds to a read, on a real style sheet of about 1 MB (bulma and
// bootstrap one after the other) and on generated flat style sheets.
#include "Catalogue.h"
#include "Document.h"
#include "DocumentCheck.h"
#include "StyleSheetGenerator.h"
#include "StyleSheetReader.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <benchmark/benchmark.h>

namespace {

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

// The two checks the window makes after a read: the tree's marks (declarations alone),
// made before the first paint, and the problems list (everything, hints included).
void BM_WindowChecksRealSheet(benchmark::State &state)
{
    Editor &e = editor();
    const QString text = realSheet();
    read(e, text, state);
    DocumentCheck::Options marks;
    marks.nodes = false;
    DocumentCheck::Options problems;
    problems.hints = DocumentCheck::allHints();
    size_t findings = 0;
    for (auto _ : state) {
        findings = e.check.checkDocument(e.document.elements(), marks).size();
        findings += e.check.checkDocument(e.document.elements(), problems).size();
    }
    setCounters(state, text, findings);
}
BENCHMARK(BM_WindowChecksRealSheet)->Unit(benchmark::kMillisecond);

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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
