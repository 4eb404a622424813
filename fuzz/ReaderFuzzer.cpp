// libFuzzer target: reads arbitrary bytes as a style sheet, against the real
// catalogue, and checks after every read that the document keeps its invariants:
// the catalogue and pseudo-class nodes in order and in place, the user's nodes after
// them with picture 0, no empty or untrimmed attribute label, no two labels of one
// element equal when case is ignored; a failed read changes nothing; and the writer's
// text reads back into the same tree (when no label holds a quote, since a quote
// without a partner may find one in the written line).
#include "Catalogue.h"
#include "Document.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TextFile.h"
#include "TreeDump.h"

#include <QSet>
#include <cstdio>
#include <cstdlib>

namespace {

struct Editor
{
    Editor()
    {
        catalogue.open(QStringLiteral(LW_BIN_DIR));
        start(document);
        for (int i = 0; i < document.fixedElementCount(); ++i) {
            const ElementNode &node = document.elements().element(i);
            fixedNodes.append({node.label, node.picture});
        }
    }
    void start(Document &d)
    {
        images = ImageList();
        d.applyElementList(catalogue.buildElementList(images));
        d.addPseudoClassNodes();
    }
    Catalogue catalogue;
    ImageList images;
    Document document;
    QList<std::pair<QString, int>> fixedNodes;
};

Editor *editor = nullptr;

[[noreturn]] void fail(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

bool isTrimmed(const QString &text)
{
    return text.isEmpty() || (text.front().unicode() > 32 && text.back().unicode() > 32);
}

bool holdsQuote(const QString &text)
{
    return text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\''));
}

// Checks the invariants; tells whether any label or selector holds a quote.
bool checkInvariants(const Document &document)
{
    const StyleSheetModel &model = document.elements();
    const int fixed = document.fixedElementCount();
    if (model.elementCount() < fixed)
        fail("fixed nodes missing");
    bool quotes = false;
    for (int i = 0; i < model.elementCount(); ++i) {
        const ElementNode &node = model.element(i);
        if (node.row != i)
            fail("row number", node.label);
        if (i < fixed) {
            if (node.label != editor->fixedNodes[i].first || node.picture != editor->fixedNodes[i].second)
                fail("fixed node moved or changed", node.label);
        } else {
            if (node.picture != 0)
                fail("user node with a picture", node.label);
            if (!isTrimmed(node.label))
                fail("untrimmed selector", node.label);
        }
        quotes = quotes || holdsQuote(node.label);
        QSet<QString> seen;
        for (const AttributeNode &attribute : node.attributes) {
            if (attribute.label.isEmpty() || !isTrimmed(attribute.label))
                fail("empty or untrimmed label", attribute.label);
            if (attribute.picture < 0 || attribute.picture > 5)
                fail("value kind", attribute.label);
            const QString key = attribute.label.toCaseFolded();
            if (seen.contains(key))
                fail("two equal labels", attribute.label);
            seen.insert(key);
            quotes = quotes || holdsQuote(attribute.label);
        }
    }
    const int pseudo = document.pseudoClassPosition();
    for (int i = 0; i < 3; ++i)
        if (model.element(pseudo + i).label != Document::PseudoClassLabels.at(i) ||
            model.element(pseudo + i).picture != Document::PseudoClassPicture)
            fail("pseudo-class node out of place");
    return quotes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    editor = new Editor;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = TextFile::decode(bytes).text;
    Document &document = editor->document;
    const QString before = TreeDump::tree(document);
    if (!StyleSheetReader::readText(document, editor->catalogue, text)) {
        if (TreeDump::tree(document) != before)
            fail("a failed read changed the document");
        checkInvariants(document);
        return 0;
    }
    if (checkInvariants(document))
        return 0;
    Document again;
    editor->start(again);
    if (!StyleSheetReader::readText(again, editor->catalogue, StyleSheetWriter::styleSheetText(document)))
        fail("the writer's text failed to read");
    if (TreeDump::tree(again) != TreeDump::tree(document))
        fail("the writer's text read back differently", StyleSheetWriter::styleSheetText(document));
    return 0;
}
