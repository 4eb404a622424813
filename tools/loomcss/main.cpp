// loomcss: reads one style sheet as the editor does (catalogue tables beside this
// program, element list, pseudo-class nodes) and prints what the editor makes of it.
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

namespace {

const char Usage[] = "Usage: loomcss tree|format FILE\n"
                     "  tree    print the element nodes that have declarations, each followed by\n"
                     "          its attribute nodes (TAB, value kind, TAB, label)\n"
                     "  format  print the bytes that Save would write for the style sheet\n";

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void error(const QString &message)
{
    write(stderr, message.toUtf8() + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        write(stdout, Usage);
        return 0;
    }
    if (args.size() != 2 || (args[0] != QLatin1String("tree") && args[0] != QLatin1String("format"))) {
        write(stderr, Usage);
        return 2;
    }

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

    if (!StyleSheetReader::readStyleSheet(document, catalogue, args[1])) {
        error(StyleSheetReader::FailureMessage);
        return 1;
    }
    if (args[0] == QLatin1String("tree"))
        write(stdout, TreeDump::tree(document).toUtf8());
    else
        write(stdout, TextFile::encode(StyleSheetWriter::styleSheetText(document), document.encoding(),
                                       document.byteOrderMark()));
    // The output is flushed; ending here spares taking a large document apart node by
    // node, which the system reclaims at once.
    std::_Exit(std::ferror(stdout) ? 1 : 0);
}
