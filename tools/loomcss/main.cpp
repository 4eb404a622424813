// loomcss: reads style sheets as the editor does (catalogue tables beside this program,
// element list, pseudo-class nodes) and prints what the editor makes of them.
#include "Catalogue.h"
#include "Document.h"
#include "Failure.h"
#include "ImageList.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TreeDump.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

const char Usage[] =
    "Usage: loomcss tree FILE\n"
    "       loomcss format [--form=standard|editor] FILE\n"
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

int usageError()
{
    write(stderr, Usage);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        write(stdout, Usage);
        return 0;
    }
    if (args.isEmpty())
        return usageError();
    const QString command = args.takeFirst();
    std::optional<DocumentForm> form;
    if (command == QLatin1String("format") && !args.isEmpty() &&
        args[0].startsWith(QLatin1String("--form="))) {
        const QString name = args.takeFirst().mid(7);
        if (name == QLatin1String("standard"))
            form = DocumentForm::Standard;
        else if (name == QLatin1String("editor"))
            form = DocumentForm::Editor;
        else
            return usageError();
    }
    if (args.size() != 1 || (command != QLatin1String("tree") && command != QLatin1String("format")))
        return usageError();
    const QString path = args[0];

    const QString folder = QCoreApplication::applicationDirPath();
    if (!Catalogue::tablesPresent(folder)) {
        error(Catalogue::MissingTablesMessage);
        return 1;
    }
    Catalogue catalogue;
    ImageList images;
    Document document;
    try {
        catalogue.open(folder);
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
    } catch (const Failure &failure) {
        error(failure.message());
        return 1;
    }

    StyleSheetReader::ReadError readError;
    if (!StyleSheetReader::readStyleSheet(document, catalogue, path, {}, &readError)) {
        if (readError.line > 0)
            error(QStringLiteral("%1:%2:%3: %4")
                      .arg(path)
                      .arg(readError.line)
                      .arg(readError.column)
                      .arg(readError.reason));
        else
            error(path + QLatin1String(": ") + readError.reason);
        return 1;
    }
    if (form)
        document.setForm(*form);
    if (command == QLatin1String("tree"))
        write(stdout, TreeDump::tree(document).toUtf8());
    else
        write(stdout, TextFile::encode(StyleSheetWriter::styleSheetText(document), document.encoding(),
                                       document.byteOrderMark()));
    // The output is flushed; ending here spares taking a large document apart node by
    // node, which the system reclaims at once.
    std::_Exit(std::ferror(stdout) ? 1 : 0);
}
