// Read and write throughput of the style-sheet reader and writer on generated flat
// style sheets and on a 10 MB real one (bootstrap.css and bulma.css repeated), against
// the real catalogue. Run with --generate FORM COUNT FILE to write one such style sheet
// for timing loomcss: FORM writer or hand-written with COUNT declarations, or real with
// COUNT bytes at least.
#include "Catalogue.h"
#include "Document.h"
#include "StyleSheetGenerator.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using StyleSheetGenerator::Form;

struct Editor
{
    Editor()
    {
        catalogue.open(QCoreApplication::applicationDirPath());
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
    }
    Catalogue catalogue;
    ImageList images;
    Document document;
};

Editor &editor()
{
    static Editor instance;
    return instance;
}

void readBench(benchmark::State &state, Form form)
{
    Editor &e = editor();
    const QString text = StyleSheetGenerator::generate(form, int(state.range(0)));
    const QByteArray bytes = text.toUtf8();
    for (auto _ : state) {
        // Decoding as the file load does, then reading.
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        if (!StyleSheetReader::readText(e.document, e.catalogue, loaded.text))
            state.SkipWithError("the read failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

void writeBench(benchmark::State &state, Form form)
{
    Editor &e = editor();
    const QString text = StyleSheetGenerator::generate(form, int(state.range(0)));
    if (!StyleSheetReader::readText(e.document, e.catalogue, text))
        state.SkipWithError("the read failed");
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray out =
            TextFile::encode(StyleSheetWriter::styleSheetText(e.document), TextFile::Encoding::Utf8);
        size = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}

constexpr qint64 RealBytes = 10000000;

// The real style sheet as a file holds it, made once for the read and the write.
const QByteArray &realBytes()
{
    static const QByteArray bytes = StyleSheetGenerator::realStyleSheet(RealBytes);
    return bytes;
}

void BM_ReadReal(benchmark::State &state)
{
    Editor &e = editor();
    const QByteArray &bytes = realBytes();
    if (bytes.isEmpty()) {
        state.SkipWithError("the real style sheets cannot be read");
        return;
    }
    for (auto _ : state) {
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        if (!StyleSheetReader::readText(e.document, e.catalogue, loaded.text))
            state.SkipWithError("the read failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

void BM_WriteReal(benchmark::State &state)
{
    Editor &e = editor();
    const QByteArray &bytes = realBytes();
    if (bytes.isEmpty() ||
        !StyleSheetReader::readText(e.document, e.catalogue, TextFile::decode(bytes).text)) {
        state.SkipWithError("the real style sheet cannot be read");
        return;
    }
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray out =
            TextFile::encode(StyleSheetWriter::styleSheetText(e.document), TextFile::Encoding::Utf8);
        size = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["writtenMB"] = double(size) / 1e6;
}

void BM_ReadWriterForm(benchmark::State &state)
{
    readBench(state, Form::Writer);
}
void BM_ReadHandWritten(benchmark::State &state)
{
    readBench(state, Form::HandWritten);
}
void BM_WriteWriterForm(benchmark::State &state)
{
    writeBench(state, Form::Writer);
}
void BM_WriteHandWritten(benchmark::State &state)
{
    writeBench(state, Form::HandWritten);
}

BENCHMARK(BM_ReadWriterForm)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHandWritten)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteWriterForm)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteHandWritten)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadReal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteReal)->Unit(benchmark::kMillisecond);

int generate(const char *form, const char *count, const char *path)
{
    const bool writer = std::strcmp(form, "writer") == 0;
    const bool real = std::strcmp(form, "real") == 0;
    if (!writer && !real && std::strcmp(form, "hand-written") != 0) {
        std::fprintf(stderr, "unknown form %s (writer, hand-written or real)\n", form);
        return 2;
    }
    const QByteArray bytes =
        real ? StyleSheetGenerator::realStyleSheet(std::atoll(count))
             : StyleSheetGenerator::generate(writer ? Form::Writer : Form::HandWritten, std::atoi(count))
                   .toUtf8();
    if (bytes.isEmpty()) {
        std::fprintf(stderr, "cannot make the style sheet\n");
        return 1;
    }
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0)
        return generate(argv[2], argv[3], argv[4]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
