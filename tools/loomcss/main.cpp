// loomcss: reads style sheets as the editor does (catalogue tables beside this program,
// element list, pseudo-class nodes) and prints what the editor makes of them.
#include "Catalogue.h"
#include "CheckCommand.h"
#include "ColorCommand.h"
#include "CssPatch.h"
#include "Document.h"
#include "DocumentCheck.h"
#include "DocumentSession.h"
#include "Failure.h"
#include "ImageList.h"
#include "PreviewCommand.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TextFile.h"
#include "TreeDump.h"
#include "UsageError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

const char Usage[] =
    "Usage: loomcss tree FILE\n"
    "       loomcss format [--form=standard|editor] FILE\n"
    "       loomcss check [--format=gcc|json|github | --tab | --quiet] [--hints]\n"
    "                     [--baseline=widely|newly|YEAR] FILE...\n"
    "       loomcss edit FILE [--set CSS]... [-o OUT | --in-place]\n"
    "       loomcss color [--to FORM] [--precision N] COLOR...\n"
    "       loomcss preview SHEET [--page PAGE] [--port N] [--no-open] [--inspect]\n"
    "  tree    print the document as the editor holds it, one line per node, indented\n"
    "          by one TAB per level: MARK TAB LABEL, where MARK is a rule's picture\n"
    "          number (0 for selectors the catalogue does not know), a declaration's value\n"
    "          kind (0 none, 1 colour, 2 number, 3 URL, 4 choice, 5 font), b for an at-rule\n"
    "          block, a for an at-rule with declarations, s for a statement and c for a\n"
    "          comment (before its node; at the end of a block after its content).\n"
    "          Declarations follow their rule one level deeper, in the document's form\n"
    "          (name: value or name=value). Rules without declarations are left out.\n"
    "  format  print the bytes that Save would write for the style sheet, in the form it\n"
    "          was read in (standard CSS for name: value files, the editor's own name=value\n"
    "          form otherwise), or in the form given with --form\n"
    "  check   check every file as a browser would take it, and report each finding in\n"
    "          file order. Findings: an unknown property (with the closest known name), a\n"
    "          value that does not match the property's syntax, a value the editor's own\n"
    "          form quotes where CSS wants it bare (display=\"flex\"), a declaration that\n"
    "          the next one of the same property in its rule overrides (unless it is that\n"
    "          one's fallback); a selector a browser cannot read or with an unknown\n"
    "          pseudo-class or pseudo-element (the whole rule is dropped), a vendor\n"
    "          pseudo-class in a selector list (the other engines drop the rule); an\n"
    "          unknown at-rule, an @media, @supports, @container, @layer, @import,\n"
    "          @namespace or @keyframes prelude that cannot be read, an unknown descriptor\n"
    "          of @font-face, @counter-style, @property..., an @property without its\n"
    "          required descriptors, and @charset, @import or @namespace after rules\n"
    "          (ignored). Values with var(), env() or attr(), custom and vendor-prefixed\n"
    "          names and hacks (*zoom, _height) are not reported. --hints adds lighter\n"
    "          marks: a shorthand after its longhand in a rule, the same selector twice\n"
    "          in one context, an empty rule, !important inside @keyframes, var(--x)\n"
    "          without fallback when the sheet defines custom properties but not --x.\n"
    "          --baseline=widely|newly|YEAR adds support marks (as light as hints) for\n"
    "          the properties, value keywords, pseudo-classes, pseudo-elements and\n"
    "          at-rules outside that Baseline target: widely available (in every core\n"
    "          browser for 30 months), newly available (in every core browser), or\n"
    "          Baseline in YEAR or earlier; the reason names the browsers that lack it.\n"
    "          --format=gcc (the default): FILE:LINE:COLUMN: warning: REASON (note: for\n"
    "          hints); --format=json: a JSON array, one object per finding with file,\n"
    "          line, column, kind, severity (warning or hint), property (or the selector\n"
    "          or at-rule) and message; --format=github: workflow annotations\n"
    "          ::warning file=FILE,line=LINE,col=COLUMN,title=KIND::REASON (::notice for\n"
    "          hints); --tab: FILE TAB LINE TAB COLUMN TAB KIND TAB PROPERTY TAB REASON;\n"
    "          --quiet: only the number of findings. KIND is one of unknown, invalid,\n"
    "          quoted, overridden, selector, vendor-selector, unknown-at-rule, prelude,\n"
    "          descriptor, ignored-statement, shorthand-override, duplicate-selector,\n"
    "          empty-rule, important-in-keyframes, undefined-variable, support. Exit\n"
    "          status 0 without findings, 1 with findings, 2 when a file cannot be read\n"
    "          (FILE: reason on standard error; the other files are still checked) or\n"
    "          for wrong arguments.\n"
    "  edit    read FILE as the editor's Open does, apply each --set through the editor's\n"
    "          own edits, and write what the editor's Save would write: to standard output,\n"
    "          to OUT (-o), or back to FILE (--in-place, replaced whole only when written\n"
    "          whole). --set takes CSS, e.g. '.btn { color: #333 }' or\n"
    "          '@media (min-width: 40em) { .nav { display: none } }': each declaration\n"
    "          replaces the value of the last declaration of that property in the last\n"
    "          rule with that selector in that context (blanks compared collapsed), or is\n"
    "          added to that rule; a rule that is not there is added at the end of its\n"
    "          context. A standard style sheet changes only where a value changes: without\n"
    "          --set its own bytes are written. Exit status 0; 1 when FILE cannot be read\n"
    "          (FILE:LINE:COLUMN: reason) or written (a read-only OUT is not written); 2\n"
    "          for wrong arguments or a --set that is no CSS.\n"
    "  color   print each COLOR (any CSS colour: a name, #rgb, rgb(), hsl(), hwb(), lab(),\n"
    "          lch(), oklab(), oklch(), color(), color-mix(), light-dark(), a relative\n"
    "          colour...) converted to FORM, one a line: hex (the default), rgb, hsl,\n"
    "          hwb, lab, lch, oklab, oklch or p3 (color(display-p3 ...)). hex, rgb, hsl\n"
    "          and hwb hold only sRGB: a colour outside it is written as a screen shows\n"
    "          it (CSS gamut mapping) followed by /* outside sRGB */. light-dark() keeps\n"
    "          both sides. --precision N writes N decimals (trailing zeros dropped).\n"
    "          A text that is no colour prints \"no colour\" (a colour made from\n"
    "          currentcolor \"no fixed value\") and the exit status is then 1.\n"
    "  preview serve PAGE's folder (without --page: the sheet's folder and a built-in\n"
    "          sample page holding every common HTML element) on 127.0.0.1, on port N or\n"
    "          a free one, print the page's URL as the first line of output (it carries a\n"
    "          random token: the server answers nothing without it), open it in the\n"
    "          browser unless --no-open, and each time SHEET changes on disk, read it as\n"
    "          the editor's Open does and put its text in the page in place of the\n"
    "          <link> that names SHEET's file name (or after the page's own sheets),\n"
    "          without reloading the page. A text the editor would refuse is not put in\n"
    "          the page; the reason is printed on standard error. Runs until Ctrl+C or\n"
    "          SIGTERM (exit status 0); 1 when the page cannot be served. --inspect\n"
    "          prints, one JSON line each, what a page in Inspect mode (Alt+Shift+I or\n"
    "          its corner toggle) reports of a click: the element and the sheet's rules\n"
    "          that apply to it, in cascade order, overridden declarations marked.\n"
    "Exit status: 0 after a successful read, 1 when a file cannot be read or understood\n"
    "(FILE:LINE:COLUMN: reason on standard error) or the catalogue is missing, 2 for wrong\n"
    "arguments.\n";

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void error(const QString &message)
{
    write(stderr, message.toUtf8() + '\n');
}

int usageError(const QString &problem = {})
{
    return ::usageError(Usage, problem);
}

void readFailure(const QString &path, const StyleSheetReader::ReadError &readError)
{
    if (readError.line > 0)
        error(QStringLiteral("%1:%2:%3: %4")
                  .arg(path)
                  .arg(readError.line)
                  .arg(readError.column)
                  .arg(readError.reason));
    else
        error(path + QLatin1String(": ") + readError.reason);
}

} // namespace

// loomcss lives for one read: memory it frees is better kept for its next blocks than
// given back to the system, since every page the system hands out anew costs a fault.
// Large blocks come from the heap too (not from blocks mapped and unmapped one by one),
// and the heap grows in large steps and is never trimmed.
// Save's questions answered without asking anyone: a file changed by another program
// while it was edited, or marked read-only, is not written (the reason is kept for the
// error message); the text is written in its file's encoding or not at all.
class CommandLineQuestions : public SaveQuestions
{
public:
    bool mayReplaceChangedFile(const QString &path, bool removed) override
    {
        refusal =
            path + (removed ? QLatin1String(": removed while it was edited; not written")
                            : QLatin1String(": changed by another program while it was edited; not written"));
        return false;
    }
    bool mayWriteReadOnlyFile(const QString &path) override
    {
        refusal = path + QLatin1String(": the file is read-only; not written");
        return false;
    }
    std::optional<Encoding> encodingFor(const QString &, TextFile::Encoding encoding,
                                        bool byteOrderMark) override
    {
        // The write itself refuses a text the encoding cannot hold, naming the character.
        return Encoding{encoding, byteOrderMark, false};
    }

    QString refusal;
};

void keepFreedMemory()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    mallopt(M_TOP_PAD, 16 << 20);
#endif
}

// Grows the heap at once to what reading and writing a file of `bytes` bytes takes (about
// twelve times its size) and asks the system for large pages there, where it gives them
// on request: a sheet of megabytes then costs a few hundred faults instead of tens of
// thousands. The memory is only reserved; pages are made as they are first touched.
void prepareHeapFor(qint64 bytes)
{
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__)
    constexpr qint64 Large = qint64(1) << 21;
    const qint64 size = 12 * bytes + (qint64(16) << 20);
    if (bytes < Large)
        return;
    void *block = std::malloc(size_t(size));
    if (!block)
        return;
    const quintptr start = (quintptr(block) + quintptr(Large) - 1) & ~quintptr(Large - 1);
    std::free(block); // stays in the heap: it is never trimmed
    const quintptr end = quintptr(sbrk(0)) & ~quintptr(Large - 1);
    // Only where the block came from the heap's top (not from a mapping of its own, or
    // from an allocator that does not use the heap).
    if (end > start && end - start <= 2 * quintptr(size))
        madvise(reinterpret_cast<void *>(start), size_t(end - start), MADV_HUGEPAGE);
#else
    Q_UNUSED(bytes);
#endif
}

int main(int argc, char **argv)
{
    keepFreedMemory();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        write(stdout, Usage);
        return 0;
    }
    if (args.isEmpty())
        return usageError();
    const QString command = args.takeFirst();
    if (command == QLatin1String("color"))
        return runColorCommand(args, Usage);
    const bool checking = command == QLatin1String("check");
    const bool previewing = command == QLatin1String("preview");
    // loomcss edit FILE [--set CSS]... [-o OUT | --in-place]
    QStringList sets;
    QString output;
    bool inPlace = false;
    if (command == QLatin1String("edit")) {
        if (args.isEmpty() || args[0].startsWith(QLatin1String("-")))
            return usageError(QStringLiteral("edit takes its FILE first"));
        const QString file = args.takeFirst();
        while (!args.isEmpty()) {
            const QString option = args.takeFirst();
            const bool argumentFollows = !args.isEmpty();
            if ((option == QLatin1String("--set") || option == QLatin1String("-o")) && !argumentFollows)
                return usageError(QStringLiteral("%1 needs %2")
                                      .arg(option, option == QLatin1String("-o") ? QStringLiteral("OUT")
                                                                                 : QStringLiteral("CSS")));
            if (option == QLatin1String("--set"))
                sets.append(args.takeFirst());
            else if ((option == QLatin1String("-o") || option == QLatin1String("--in-place")) &&
                     (!output.isEmpty() || inPlace))
                return usageError(QStringLiteral("edit takes one of -o OUT and --in-place"));
            else if (option == QLatin1String("-o"))
                output = args.takeFirst();
            else if (option == QLatin1String("--in-place"))
                inPlace = true;
            else
                return usageError(QStringLiteral("edit takes no %1").arg(option));
        }
        args = QStringList{file};
        if (inPlace)
            output = file;
    }
    std::optional<DocumentForm> form;
    if (command == QLatin1String("format") && !args.isEmpty() &&
        args[0].startsWith(QLatin1String("--form="))) {
        const QString name = args.takeFirst().mid(7);
        if (name == QLatin1String("standard"))
            form = DocumentForm::Standard;
        else if (name == QLatin1String("editor"))
            form = DocumentForm::Editor;
        else
            return usageError(QStringLiteral("unknown form %1 (standard or editor)").arg(name));
    }
    if (!checking && !previewing && command != QLatin1String("tree") && command != QLatin1String("format") &&
        command != QLatin1String("edit"))
        return usageError(QStringLiteral("unknown command %1").arg(command));
    if (!checking && !previewing && args.size() != 1)
        return usageError(args.isEmpty() || args[0].startsWith(QLatin1Char('-'))
                              ? QStringLiteral("%1 needs a FILE").arg(command)
                              : QStringLiteral("%1 takes one FILE").arg(command));
    CheckOptions checkOptions;
    if (checking && !checkOptions.take(args))
        return usageError(checkOptions.problem);

    const QString folder = QCoreApplication::applicationDirPath();
    if (!Catalogue::tablesPresent(folder)) {
        error(Catalogue::MissingTablesMessage);
        return checking ? 2 : 1;
    }
    Catalogue catalogue;
    ImageList images;
    DocumentSession session(catalogue);
    Document &document = session.document();
    try {
        catalogue.open(folder);
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
    } catch (const Failure &failure) {
        error(failure.message());
        return 1;
    }
    if (previewing)
        return runPreviewCommand(args, Usage, catalogue, document);
    if (checking) {
        qint64 largest = 0;
        for (const QString &path : args)
            largest = std::max(largest, QFileInfo(path).size());
        prepareHeapFor(largest);
        const int status = runCheckCommand(args, checkOptions, catalogue, document, folder);
        // As below: the output is flushed, the system reclaims the document at once.
        std::_Exit(std::ferror(stdout) ? 1 : status);
    }

    const QString path = args[0];
    prepareHeapFor(QFileInfo(path).size());
    if (command == QLatin1String("edit") && sets.isEmpty()) {
        // Nothing to change: a standard sheet that the reader takes is written as its own
        // bytes (what Save writes for it, the very bytes read), without building its tree.
        try {
            QByteArray bytes;
            TextFile::LoadOptions options;
            options.lineBreaks = TextFile::LineBreaks::Keep;
            options.bytesRead = &bytes;
            const TextFile::Loaded loaded = TextFile::load(path, options);
            StyleSheetReader::ReadError readError;
            DocumentForm read = DocumentForm::Editor;
            if (!StyleSheetReader::checkText(loaded.text, &readError, read)) {
                readFailure(path, readError);
                return 1;
            }
            if (read == DocumentForm::Standard) {
                if (output.isEmpty()) {
                    write(stdout, bytes);
                } else if (output != path) {
                    QSaveFile copy(output);
                    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() ||
                        !copy.commit()) {
                        error(output + QLatin1String(": ") + copy.errorString());
                        return 1;
                    }
                }
                return 0;
            }
        } catch (const Failure &failure) {
            error(path + QLatin1String(": ") + failure.message());
            return 1;
        }
    }
    // edit reads and writes through the document session, as the window's Open and Save
    // do; tree and format only read.
    const bool editing = command == QLatin1String("edit");
    StyleSheetReader::ReadError readError;
    if (!(editing ? session.open(path, {}, &readError)
                  : StyleSheetReader::readStyleSheet(document, catalogue, path, {}, &readError))) {
        readFailure(path, readError);
        return 1;
    }
    if (form && *form != document.form() &&
        !StyleSheetReader::convertForm(document, catalogue, *form, &readError)) {
        readFailure(path, readError);
        return 1;
    }
    for (const QString &css : sets) {
        QString reason;
        if (!CssPatch::apply(document, catalogue, css, &reason)) {
            error(QStringLiteral("--set '%1': %2").arg(css, reason));
            return 2;
        }
    }
    if (command == QLatin1String("tree"))
        write(stdout, TreeDump::tree(document).toUtf8());
    else if (!output.isEmpty()) {
        try {
            if (editing) {
                CommandLineQuestions questions;
                if (!session.save(output, questions)) {
                    error(questions.refusal);
                    return 1;
                }
            } else {
                StyleSheetWriter::save(document, output);
            }
        } catch (const Failure &failure) {
            error(output + QLatin1String(": ") + failure.message());
            return 1;
        }
    } else {
        // Encoded and written piece by piece: the bytes of a large sheet are never held
        // whole beside its text.
        try {
            TextFile::encodeInPieces(
                StyleSheetWriter::styleSheetText(document), document.encoding(), document.byteOrderMark(),
                [](QByteArrayView bytes) { std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout); });
        } catch (const Failure &failure) {
            error(path + QLatin1String(": ") + failure.message());
            std::_Exit(1);
        }
        std::fflush(stdout);
    }
    // The output is flushed; ending here spares taking a large document apart node by
    // node, which the system reclaims at once.
    std::_Exit(std::ferror(stdout) ? 1 : 0);
}
