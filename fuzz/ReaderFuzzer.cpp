// libFuzzer target: reads arbitrary bytes as a style sheet, against the real
// catalogue, and checks after every read that the document keeps its invariants:
// - the catalogue and pseudo-class nodes stand in order and in place, with their
//   labels and pictures unchanged;
// - the user's rules have picture 0, at-rule blocks, at-rules with declarations and
//   statements their node pictures, and statements hold nothing;
// - every node's row and parent agree with where it stands, and the nodes and
//   declarations the read made know their place in the text;
// - no at-rule label and no declaration without value is empty, no declaration
//   starts or ends with a blank, and no label holds a line break between its tokens
//   (a name=value declaration keeps its text as written, so its line breaks count
//   only when the text holds no "=");
// - a failed read changes nothing, not even the form, and says where it failed;
// - the code window's check of the same text takes it or refuses it as the read
//   does, at the same place and for the same reason;
// - a text read in standard CSS is written back as the same text, and encoded as the
//   same bytes it was decoded from (line breaks kept);
// - the writer's text reads back into the same tree and the same form;
// - after one value edit, the writer's text reads back into the edited tree, and undo
//   gives the text written before the edit again (in standard CSS: the input's bytes).
#include "Catalogue.h"
#include "CssTokenizer.h"
#include "Document.h"
#include "DocumentEdits.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TextFile.h"
#include "TreeDump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
    std::fprintf(stderr, "invariant broken: %s: %s\n", what, TreeDump::escaped(detail).toUtf8().constData());
    std::abort();
}

const char *formName(DocumentForm form)
{
    return form == DocumentForm::Editor ? "editor" : "standard";
}

// Whether the text has a CR or LF between its tokens (comments aside), as the
// tokenizer cuts it.
bool breaksBetweenTokens(QStringView text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return false;
    Css::Tokenizer tokens(text);
    for (Css::Token token = tokens.next(); token.type != Css::TokenType::EndOfFile; token = tokens.next()) {
        if (token.type == Css::TokenType::Comment)
            continue;
        const QStringView part = Css::tokenText(text, token);
        if (part.contains(QLatin1Char('\n')) || part.contains(QLatin1Char('\r')))
            return true;
    }
    return false;
}

bool holdsToken(QStringView text, Css::TokenType type)
{
    Css::Tokenizer tokens(text);
    for (Css::Token token = tokens.next(); token.type != Css::TokenType::EndOfFile; token = tokens.next())
        if (token.type == type)
            return true;
    return false;
}

// Whether the text ends in a hex escape (`\31`, `\a`); an escaped backslash before
// hex digits counts too.
bool endsInHexEscape(QStringView text)
{
    const auto isHex = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    };
    qsizetype digits = 0;
    while (digits < text.size() && digits <= 6 && isHex(text[text.size() - 1 - digits]))
        ++digits;
    return digits >= 1 && digits <= 6 && digits < text.size() &&
           text[text.size() - 1 - digits] == QLatin1Char('\\');
}

// Whether the text ends in a backslash that escapes nothing (an odd run of them).
bool endsInBackslash(QStringView text)
{
    qsizetype count = 0;
    while (count < text.size() && text[text.size() - 1 - count] == QLatin1Char('\\'))
        ++count;
    return count % 2 == 1;
}

// Whether the text holds a string, url() or comment that does not close, or a bad
// string.
bool holdsUnclosed(QStringView text)
{
    Css::Tokenizer tokens(text);
    for (Css::Token token = tokens.next(); token.type != Css::TokenType::EndOfFile; token = tokens.next()) {
        if (token.type == Css::TokenType::BadString)
            return true;
        if ((token.type == Css::TokenType::String || token.type == Css::TokenType::Comment) &&
            token.numberLength == 1)
            return true;
        if (token.type == Css::TokenType::Url && !Css::tokenText(text, token).endsWith(QLatin1Char(')')))
            return true;
    }
    return false;
}

// Whether the blank at the end of the text (a CR LF is one) ends a hex escape or is
// escaped itself: the escape's, not a blank after the text.
bool blankEndsEscape(QStringView text)
{
    QStringView before = text.chopped(1);
    if (text.endsWith(QLatin1String("\r\n")))
        before.chop(1);
    // A backslash before a line break escapes nothing.
    const bool lineBreak = text.back() == QLatin1Char('\n') || text.back() == QLatin1Char('\r');
    return endsInHexEscape(before) || (!lineBreak && endsInBackslash(before));
}

int expectedPicture(const ElementNode &node)
{
    switch (node.kind) {
    case NodeKind::Rule:
        return 0;
    case NodeKind::Block:
        return BlockPicture;
    case NodeKind::AtRule:
        return AtRulePicture;
    case NodeKind::Statement:
        return StatementPicture;
    }
    return 0;
}

struct Checker
{
    DocumentForm form;
    bool equalsPossible; // the text holds "=", so a declaration may keep its line breaks
    // A standard sheet's top-level rule for one of the catalogue's selectors shows the
    // picture of that selector's node.
    int pictureOf(const ElementNode &node, const ElementNode *parent) const
    {
        if (node.kind == NodeKind::Rule && !parent && form == DocumentForm::Standard)
            for (const auto &[label, picture] : editor->fixedNodes)
                if (label.compare(node.label, Qt::CaseInsensitive) == 0)
                    return picture;
        return expectedPicture(node);
    }

    void checkDeclarations(const ElementNode &node) const
    {
        for (const AttributeNode &attribute : node.attributes) {
            const QString label = attribute.label(form);
            if (attribute.line < 1 || attribute.column < 1)
                fail("a declaration without its place in the text", label);
            if (attribute.picture < KindNone || attribute.picture > KindFont)
                fail("value kind out of range", label);
            if (attribute.inSource() && (attribute.valueStart < attribute.nameStart + attribute.nameLength ||
                                         attribute.valueEnd < attribute.valueStart))
                fail("name and value out of order in the text", label);
            // Only name=value, kept as written, can have an empty name; it has a value.
            if (attribute.name().isEmpty() && !attribute.hasValue())
                fail("an empty declaration", label);
            // name: value is trimmed on both sides of ":", name=value as a whole. A blank
            // after a hex escape, or escaped itself (`\ `), belongs to the escape. Known
            // fault: a bad url() and a url() cut by the end of the file keep their blanks,
            // at the end too (`a{b:url(x y` LF `}`, `a{b:url(c `).
            const QString whole = attribute.label(DocumentForm::Editor);
            const bool blankStart = !whole.isEmpty() && Css::isWhitespace(whole.front());
            const bool blankEnd =
                !whole.isEmpty() && Css::isWhitespace(whole.back()) && !blankEndsEscape(whole);
            if ((blankStart || blankEnd) && !holdsToken(whole, Css::TokenType::BadUrl) &&
                !holdsUnclosed(whole))
                fail("a declaration with blanks at an end", label);
            if (!equalsPossible && breaksBetweenTokens(label))
                fail("a line break in a declaration", label);
        }
    }

    void checkNode(const ElementNode &node, const ElementNode *parent, int row) const
    {
        if (node.parent != parent)
            fail("a node's parent is not the node it stands in", node.label);
        if (node.row != row)
            fail("a node's row is not where it stands", node.label);
        if (node.picture != pictureOf(node, parent) && node.picture != expectedPicture(node))
            fail("a node without its kind's picture", node.label);
        if (node.line < 1 || node.column < 1)
            fail("a node without its place in the text", node.label);
        if (node.kind == NodeKind::Statement && (!node.children.empty() || !node.attributes.empty()))
            fail("a statement with content", node.label);
        if (node.kind != NodeKind::Rule && !node.label.startsWith(QLatin1Char('@')))
            fail("an at-rule label without its name", node.label);
        if (breaksBetweenTokens(node.label))
            fail("a line break in a node label", node.label);
        checkDeclarations(node);
        checkChildren(node);
    }

    void checkChildren(const ElementNode &node) const
    {
        for (size_t i = 0; i < node.children.size(); ++i)
            checkNode(*node.children[i], &node, int(i));
    }

    void check(const Document &document) const
    {
        const StyleSheetModel &model = document.elements();
        const int fixed = document.fixedElementCount();
        if (fixed != editor->fixedNodes.size() || model.elementCount() < fixed)
            fail("fixed nodes missing");
        for (int i = 0; i < model.elementCount(); ++i) {
            const ElementNode &node = model.element(i);
            if (i >= fixed) {
                checkNode(node, nullptr, i);
                continue;
            }
            if (node.label != editor->fixedNodes[i].first || node.picture != editor->fixedNodes[i].second ||
                node.kind != NodeKind::Rule)
                fail("fixed node moved or changed", node.label);
            if (node.parent || node.row != i)
                fail("fixed node's row or parent", node.label);
            checkDeclarations(node);
            checkChildren(node);
        }
        const int pseudo = document.pseudoClassPosition();
        for (int i = 0; i < 3; ++i)
            if (model.element(pseudo + i).label != Document::PseudoClassLabels.at(i) ||
                model.element(pseudo + i).picture != Document::PseudoClassPicture)
                fail("pseudo-class node out of place");
    }
};

// The first declaration with a value, in file order, at any depth.
std::pair<const ElementNode *, int> firstValue(const StyleSheetModel &model)
{
    std::vector<const ElementNode *> nodes;
    for (int i = model.elementCount() - 1; i >= 0; --i)
        nodes.push_back(&model.element(i));
    while (!nodes.empty()) {
        const ElementNode *node = nodes.back();
        nodes.pop_back();
        for (size_t i = 0; i < node->attributes.size(); ++i)
            if (node->attributes[i].hasValue())
                return {node, int(i)};
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child)
            nodes.push_back(child->get());
    }
    return {nullptr, -1};
}

// The text as the code window holds it: every line break (CR LF, CR, LF) an LF.
QString codeWindowText(const QString &text)
{
    return QString(text)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// A tree dump without its comment lines.
QString withoutComments(const QString &dump)
{
    QStringList lines = dump.split(QLatin1Char('\n'));
    lines.removeIf([](const QString &line) {
        qsizetype tabs = 0;
        while (tabs < line.size() && line[tabs] == QLatin1Char('\t'))
            ++tabs;
        return QStringView(line).sliced(tabs).startsWith(QLatin1String("c\t"));
    });
    return lines.join(QLatin1Char('\n'));
}

// One value edit, as a value editor makes it, on the first declaration with a value:
// what is written then reads back into the edited tree, and undo gives `written` again.
void checkValueEdit(Document &document, const QString &written, size_t seed)
{
    const auto [node, row] = firstValue(document.elements());
    if (!node)
        return;
    const QString values[] = {DocumentEdits::numberValue(7),
                              DocumentEdits::quotedValue(QStringLiteral("a b")), QStringLiteral("#123456")};
    const QModelIndex index = document.elements().attributeIndex(node, row);
    if (!DocumentEdits::writeValue(document, index, values[seed % 3]))
        fail("a value edit was not written", node->attributes[size_t(row)].label(document.form()));
    const QString edited = StyleSheetWriter::styleSheetText(document);
    Document again;
    editor->start(again);
    StyleSheetReader::ReadError againError;
    if (!StyleSheetReader::readText(again, editor->catalogue, edited, {}, &againError))
        fail("the text after a value edit failed to read",
             againError.describe() + QStringLiteral("\n") + edited);
    // Comments aside: a comment that stood inside the old value (`0 /* top */ auto`)
    // goes with it from the text but stays with the declaration in the tree (known).
    if (withoutComments(TreeDump::tree(again)) != withoutComments(TreeDump::tree(document)))
        fail("the text after a value edit read back differently", edited);
    document.undoStack().undo();
    if (StyleSheetWriter::styleSheetText(document) != written)
        fail("undoing the value edit did not give the text before it",
             StyleSheetWriter::styleSheetText(document));
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
    const TextFile::Loaded loaded = TextFile::decode(bytes, TextFile::LineBreaks::Keep);
    const QString &text = loaded.text;
    Document &document = editor->document;
    // The edits of the input before are no part of this one's history.
    document.undoStack().clear();
    const QString before = TreeDump::tree(document);
    const DocumentForm formBefore = document.form();
    const bool equalsPossible = text.contains(QLatin1Char('='));

    StyleSheetReader::ReadError error;
    const bool read = StyleSheetReader::readText(document, editor->catalogue, text, {}, &error);
    // The code window's check of the same text, with the line breaks it gives (LF),
    // reaches the same verdict at the same place.
    StyleSheetReader::ReadError checkError;
    const bool checked = StyleSheetReader::checkText(codeWindowText(text), &checkError);
    if (checked != read)
        fail(read ? "the check refused a text the reader takes" : "the check took a text the reader refuses",
             checked ? error.describe() : checkError.describe());
    if (!read && !error.catalogue && checkError.describe() != error.describe())
        fail("the check failed elsewhere than the reader",
             checkError.describe() + QStringLiteral(" / ") + error.describe());
    if (!read) {
        if (TreeDump::tree(document) != before)
            fail("a failed read changed the document");
        if (document.form() != formBefore)
            fail("a failed read changed the form");
        if (error.reason.isEmpty())
            fail("a failed read without a reason");
        if (!error.catalogue) {
            const qsizetype lines = codeWindowText(text).count(QLatin1Char('\n')) + 1;
            if (error.line < 1 || error.column < 1 || error.line > lines)
                fail("a failed read without its place", error.describe());
        }
        Checker{document.form(), true}.check(document);
        return 0;
    }
    Checker{document.form(), equalsPossible}.check(document);
    const QString written = StyleSheetWriter::styleSheetText(document);
    if (document.form() == DocumentForm::Standard) {
        if (written != text)
            fail("a standard sheet was not written back as it was read", written);
        if (TextFile::encode(written, loaded.encoding, loaded.byteOrderMark) != bytes)
            fail("a standard sheet was not written back as the same bytes", written);
    }
    Document again;
    editor->start(again);
    StyleSheetReader::ReadError againError;
    if (!StyleSheetReader::readText(again, editor->catalogue, written, {}, &againError))
        fail("the writer's text failed to read", againError.describe() + QStringLiteral("\n") + written);
    if (TreeDump::tree(again) != TreeDump::tree(document))
        fail("the writer's text read back differently", written);
    if (again.form() != document.form())
        fail(formName(document.form()), QStringLiteral("form read back as another form: ") + written);
    checkValueEdit(document, written, size);
    document.undoStack().clear();
    return 0;
}
