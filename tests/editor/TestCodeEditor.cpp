#include "Catalogue.h"
#include "CodeCompleter.h"
#include "CodeEditor.h"
#include "CssHighlighter.h"
#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "FindBar.h"
#include "TCodeForm.h"
#include "TestRegistry.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QFontInfo>
#include <QHelpEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

using CssColouring::Kind;
using namespace EditorFixture;

Q_DECLARE_METATYPE(CssColouring::Kind)

namespace {

// A code window on its own, shown, with `text` in it and the test catalogue.
struct Window
{
    Catalogue catalogue;
    TCodeForm form;

    explicit Window(const QString &text)
    {
        catalogue.open(catalogueFolder());
        form.setCatalogue(&catalogue);
        form.start(QStringLiteral("Not Saved"), text, TextFile::Encoding::Utf8);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(!form.isFilling());
    }

    CodeEditor *editor() const { return form.Code; }

    // Puts the caret where "|" stands in `marked` (which becomes the whole text).
    void setMarked(const QString &marked)
    {
        const qsizetype caret = marked.indexOf(QLatin1Char('|'));
        editor()->setPlainText(QString(marked).remove(caret, 1));
        QTextCursor cursor(editor()->document());
        cursor.setPosition(int(caret));
        editor()->setTextCursor(cursor);
    }

    // Waits for the check of the text as it is now.
    bool checked()
    {
        return QTest::qWaitFor([this] { return !form.isChecking(); }, 10000);
    }
};

// The foreground colour the layout shows at a position.
QColor shownColour(CodeEditor *editor, int position)
{
    const QTextBlock block = editor->document()->findBlock(position);
    const int offset = position - block.position();
    for (const QTextLayout::FormatRange &range : block.layout()->formats())
        if (offset >= range.start && offset < range.start + range.length &&
            range.format.hasProperty(QTextFormat::ForegroundBrush))
            return range.format.foreground().color();
    return {};
}

} // namespace

class TestCodeEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // The kind of the token at the first occurrence of `at` (after `after`, when given).
    void colouring_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("after");
        QTest::addColumn<Kind>("kind");
        const QString rule = QStringLiteral("h1.title > p:hover { color: red; }");
        QTest::newRow("type selector") << rule << "h1"
                                       << "" << Kind::Selector;
        QTest::newRow("class selector") << rule << ".title"
                                        << "" << Kind::Selector;
        QTest::newRow("pseudo-class") << rule << "hover"
                                      << "" << Kind::Selector;
        QTest::newRow("combinator") << rule << ">"
                                    << "" << Kind::Selector;
        QTest::newRow("property") << rule << "color"
                                  << "" << Kind::Property;
        QTest::newRow("value") << rule << "red"
                               << "" << Kind::Value;
        QTest::newRow("colon after a name") << rule << ":"
                                            << "color" << Kind::Punctuation;
        QTest::newRow("brace") << rule << "{"
                               << "" << Kind::Punctuation;
        QTest::newRow("semicolon") << rule << ";"
                                   << "" << Kind::Punctuation;
        QTest::newRow("editor's form: name") << "BODY {color=red; font-size=12;}"
                                             << "font-size"
                                             << "" << Kind::Property;
        QTest::newRow("editor's form: equals") << "BODY {color=red; font-size=12;}"
                                               << "="
                                               << "" << Kind::Punctuation;
        QTest::newRow("editor's form: number") << "BODY {color=red; font-size=12;}"
                                               << "12"
                                               << "" << Kind::Number;
        QTest::newRow("id selector") << "#main { color: #ff0000 }"
                                     << "#main"
                                     << "" << Kind::Selector;
        QTest::newRow("hex colour") << "#main { color: #ff0000 }"
                                    << "#ff0000"
                                    << "" << Kind::Number;
        QTest::newRow("dimension") << "p { margin: 12px 1.5em 50% }"
                                   << "px"
                                   << "" << Kind::Number;
        QTest::newRow("percentage") << "p { margin: 12px 1.5em 50% }"
                                    << "50%"
                                    << "" << Kind::Number;
        QTest::newRow("!important") << "p { color: red !important; }"
                                    << "!"
                                    << "" << Kind::Important;
        QTest::newRow("important word") << "p { color: red ! important; }"
                                        << "important"
                                        << "" << Kind::Important;

        const QString media = QStringLiteral("@media screen and (min-width: 600px) {\n  p { margin: 0 }\n}");
        QTest::newRow("at-rule name") << media << "@media"
                                      << "" << Kind::AtRule;
        QTest::newRow("at-rule prelude") << media << "screen"
                                         << "" << Kind::AtPrelude;
        QTest::newRow("prelude number") << media << "600px"
                                        << "" << Kind::AtPrelude;
        QTest::newRow("rule in @media") << media << "p"
                                        << "{" << Kind::Selector;
        QTest::newRow("property in @media") << media << "margin"
                                            << "" << Kind::Property;
        QTest::newRow("@import url") << "@import url(base.css) screen;"
                                     << "base"
                                     << "" << Kind::Url;
        const QString keyframes =
            QStringLiteral("@keyframes spin {\n  from { opacity: 0 }\n  50% { opacity: 1 }\n}");
        QTest::newRow("keyframe selector") << keyframes << "from"
                                           << "" << Kind::Selector;
        QTest::newRow("keyframe percentage") << keyframes << "50%"
                                             << "" << Kind::Selector;
        QTest::newRow("keyframe declaration") << keyframes << "opacity"
                                              << "50%" << Kind::Property;
        QTest::newRow("@font-face declarations") << "@font-face {\n  font-family: X;\n}"
                                                 << "font-family"
                                                 << "" << Kind::Property;

        const QString nested =
            QStringLiteral("a {\n  color: red;\n  &:hover { color: blue }\n  .icon { width: 1em }\n  "
                           "span b { top: 0 }\n  left: 0;\n}");
        QTest::newRow("nested &") << nested << "&"
                                  << "" << Kind::Selector;
        QTest::newRow("nested class") << nested << ".icon"
                                      << "" << Kind::Selector;
        QTest::newRow("nested property") << nested << "width"
                                         << "" << Kind::Property;
        QTest::newRow("nested type selector") << nested << "span"
                                              << "" << Kind::Selector;
        QTest::newRow("property after nested rules") << nested << "left"
                                                     << "" << Kind::Property;

        const QString comment = QStringLiteral("p { /* one\ntwo { ; }\nthree */ color: red }\nh1 {}");
        QTest::newRow("comment start") << comment << "one"
                                       << "" << Kind::Comment;
        QTest::newRow("comment's middle line") << comment << "two"
                                               << "" << Kind::Comment;
        QTest::newRow("brace in a comment") << comment << "{"
                                            << "two" << Kind::Comment;
        QTest::newRow("after the comment") << comment << "color"
                                           << "" << Kind::Property;
        QTest::newRow("rule after the comment") << comment << "h1"
                                                << "" << Kind::Selector;
        QTest::newRow("unclosed comment") << "p {}\n/* open\nh1 {}"
                                          << "h1"
                                          << "" << Kind::Comment;

        const QString strings = QStringLiteral("p { content: \"a\\\"b;\"; quotes: 'x\\\ny'; color: red }");
        QTest::newRow("escaped quote in a string") << strings << "b;"
                                                   << "" << Kind::String;
        QTest::newRow("after the string") << strings << "quotes"
                                          << "" << Kind::Property;
        QTest::newRow("string continued on the next line") << strings << "y'"
                                                           << "" << Kind::String;
        QTest::newRow("after the continued string") << strings << "color"
                                                    << "" << Kind::Property;
        // A string cut by a line break ends there: what follows is still the value.
        QTest::newRow("string cut by a line break") << "p { content: \"open\n  red }"
                                                    << "red"
                                                    << "" << Kind::Value;

        QTest::newRow("url without quotes") << "p { background: url(img/a.png) no-repeat }"
                                            << "a.png"
                                            << "" << Kind::Url;
        QTest::newRow("value after url") << "p { background: url(img/a.png) no-repeat }"
                                         << "no-repeat"
                                         << "" << Kind::Value;
        const QString quoted = QStringLiteral("p { background: url(\"a b.png\") top }");
        QTest::newRow("quoted url: function") << quoted << "url"
                                              << "" << Kind::Url;
        QTest::newRow("quoted url: string") << quoted << "a b"
                                            << "" << Kind::Url;
        QTest::newRow("quoted url: parenthesis") << quoted << ")"
                                                 << "" << Kind::Url;
        QTest::newRow("quoted url: after") << quoted << "top"
                                           << "" << Kind::Value;
    }

    void colouring()
    {
        QFETCH(QString, text);
        QFETCH(QString, at);
        QFETCH(QString, after);
        QFETCH(Kind, kind);
        const qsizetype from = after.isEmpty() ? 0 : text.indexOf(after) + after.size();
        const qsizetype offset = text.indexOf(at, from);
        QVERIFY(offset >= 0);
        QCOMPARE(CssColouring::kindAt(text, offset), kind);
    }

    void swatchesForColourValues()
    {
        std::vector<CssColouring::Swatch> swatches;
        const QString line =
            QStringLiteral("#top { color: #f00; background: RebeccaPurple; border-color: #11223380; "
                           "x: #12345; y: blue-ish; content: \"red\"; z: rgb(0, 128, 255) }");
        CssColouring::LineScanner scanner;
        scanner.scan(line, nullptr, &swatches);
        QCOMPARE(swatches.size(), size_t(4));
        QCOMPARE(swatches[0].start, int(line.indexOf(QLatin1String("#f00"))));
        QCOMPARE(swatches[0].length, 4);
        QCOMPARE(swatches[0].color, QColor(255, 0, 0));
        QCOMPARE(swatches[1].color, QColor(0x66, 0x33, 0x99));
        QCOMPARE(swatches[2].color, QColor(0x11, 0x22, 0x33, 0x80));
        QCOMPARE(swatches[3].start, int(line.indexOf(QLatin1String("rgb("))));
        QCOMPARE(swatches[3].length, int(QStringLiteral("rgb(0, 128, 255)").size()));
        QCOMPARE(swatches[3].color, QColor(0, 128, 255));
    }

    // Every colour form gets its swatch, with the colour as the screen shows it; a value
    // of several colours one for each, light-dark() one with both sides; colours
    // without a fixed value none.
    void swatchesForEveryForm_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("colourText"); // empty: no swatch
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QColor>("dark");
        QTest::newRow("oklch") << "oklch(70% 0.1 200)"
                               << "oklch(70% 0.1 200)" << QColor(64, 177, 183) << QColor();
        QTest::newRow("hex with alpha") << "#0af8"
                                        << "#0af8" << QColor(0, 170, 255, 136) << QColor();
        QTest::newRow("hsl with alpha") << "hsl(200 50% 50% / .5)"
                                        << "hsl(200 50% 50% / .5)" << QColor(64, 149, 191, 128) << QColor();
        QTest::newRow("p3 outside sRGB: mapped")
            << "1px solid color(display-p3 1 0 0)"
            << "color(display-p3 1 0 0)" << QColor(255, 11, 12) << QColor();
        QTest::newRow("lab") << "lab(50 0 0)"
                             << "lab(50 0 0)" << QColor(119, 119, 119) << QColor();
        QTest::newRow("hwb") << "hwb(0 0% 0%)"
                             << "hwb(0 0% 0%)" << QColor(255, 0, 0) << QColor();
        QTest::newRow("color-mix, nested")
            << "color-mix(in srgb, rgb(255 0 0) 50%, blue)"
            << "color-mix(in srgb, rgb(255 0 0) 50%, blue)" << QColor(128, 0, 128) << QColor();
        QTest::newRow("light-dark both")
            << "light-dark(#fff, #000)"
            << "light-dark(#fff, #000)" << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("relative") << "oklch(from #0af l c h)"
                                  << "oklch(from #0af l c h)" << QColor(0, 170, 255) << QColor();
        QTest::newRow("transparent") << "transparent"
                                     << "transparent" << QColor(0, 0, 0, 0) << QColor();
        QTest::newRow("currentcolor: none") << "currentcolor"
                                            << "" << QColor() << QColor();
        QTest::newRow("var(): none") << "var(--c)"
                                     << "" << QColor() << QColor();
        QTest::newRow("not a colour: none") << "oklch(1 2)"
                                            << "" << QColor() << QColor();
        QTest::newRow("system colour: none") << "Canvas"
                                             << "" << QColor() << QColor();
    }
    void swatchesForEveryForm()
    {
        QFETCH(QString, value);
        QFETCH(QString, colourText);
        QFETCH(QColor, colour);
        QFETCH(QColor, dark);
        const QString line = QStringLiteral("a { x: ") + value + QStringLiteral("; }");
        std::vector<CssColouring::Swatch> swatches;
        CssColouring::LineScanner scanner;
        scanner.scan(line, nullptr, &swatches);
        if (colourText.isEmpty()) {
            QCOMPARE(swatches.size(), size_t(0));
            return;
        }
        QVERIFY(!swatches.empty());
        QCOMPARE(line.sliced(swatches[0].start, swatches[0].length), colourText);
        QCOMPARE(swatches[0].color, colour);
        QCOMPARE(swatches[0].dark, dark);
    }

    // Only lines that are shown get colours; lines far below get theirs when they are
    // scrolled to, from the states of the lines above them.
    void coloursFollowTheView()
    {
        QString text = QStringLiteral("/* a comment\r\nover lines */\r\n");
        for (int i = 0; i < 30000; ++i)
            text += QStringLiteral("P.c%1 {color: #%2; margin: %1px}\r\n")
                        .arg(i)
                        .arg(i % 4096, 3, 16, QLatin1Char('0'));
        text += QStringLiteral("/* to the end");
        Window window(text);
        CodeEditor *editor = window.editor();
        CssHighlighter *highlighter = editor->highlighter();
        QVERIFY(QFontInfo(editor->font()).fixedPitch());
        QCOMPARE(editor->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(editor->tabStopDistance(), 4.0 * editor->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
        QVERIFY(editor->viewport()->x() >= editor->gutterWidth());
        QTRY_VERIFY(!editor->document()->firstBlock().layout()->formats().isEmpty());

        const QTextBlock third = editor->document()->findBlockByNumber(2);
        QCOMPARE(shownColour(editor, third.position()), highlighter->colour(Kind::Selector));
        QCOMPARE(shownColour(editor, editor->document()->findBlockByNumber(1).position()),
                 highlighter->colour(Kind::Comment));
        QVERIFY(highlighter->swatches(third) && highlighter->swatches(third)->size() == 1);
        const QTextBlock far = editor->document()->findBlockByNumber(25000);
        QVERIFY(far.layout()->formats().isEmpty());

        editor->goToLine(25001);
        QTRY_VERIFY(!far.layout()->formats().isEmpty());
        QCOMPARE(shownColour(editor, far.position() + int(far.text().indexOf(QLatin1String("margin")))),
                 highlighter->colour(Kind::Property));

        // Opening a comment above the view turns the lines below it into comment.
        QTextCursor cursor(editor->document()->findBlockByNumber(24990));
        cursor.insertText(QStringLiteral("/*"));
        editor->viewport()->repaint();
        QCOMPARE(highlighter->kindAt(far.position()), Kind::Comment);
        QTRY_COMPARE(shownColour(editor, far.position()), highlighter->colour(Kind::Comment));
        cursor.deletePreviousChar();
        cursor.deletePreviousChar();
        editor->viewport()->repaint();
        QTRY_COMPARE(shownColour(editor, far.position()), highlighter->colour(Kind::Selector));
        // The last line's unclosed comment, read from the states of every line before.
        QVERIFY(highlighter->ensureStates(editor->blockCount() - 1));
        QCOMPARE(highlighter->kindAt(editor->document()->lastBlock().position() + 4), Kind::Comment);
    }

    void currentLineAndBraces_data()
    {
        QTest::addColumn<QString>("marked");     // "|" is the caret
        QTest::addColumn<QString>("braceAt");    // the brace at the caret, by what follows it
        QTest::addColumn<QString>("matchAfter"); // its match: the first after this text
        QTest::newRow("opening brace") << "p |{ a: b }"
                                       << "{ a"
                                       << " b ";
        QTest::newRow("after the closing brace") << "p { a: b }|"
                                                 << "}"
                                                 << "p ";
        QTest::newRow("brace in a comment is skipped") << "p |{ /* } */ a: b }"
                                                       << "{ /*"
                                                       << "a: b ";
        QTest::newRow("brace in a string is skipped") << "p { content: \"}\" }|"
                                                      << "}"
                                                      << "p ";
        QTest::newRow("over lines") << "@media x |{\n  p { a: b }\n}"
                                    << "{\n"
                                    << "}\n";
        QTest::newRow("backwards over lines") << "@media x {\n  p { a: b }\n}|"
                                              << "}"
                                              << "x ";
        QTest::newRow("parentheses") << "p { a: rgb|(1, 2, 3) }"
                                     << "(1"
                                     << "3";
        QTest::newRow("no match") << "p |{ a: b"
                                  << "{"
                                  << "";
    }

    void currentLineAndBraces()
    {
        QFETCH(QString, marked);
        QFETCH(QString, braceAt);
        QFETCH(QString, matchAfter);
        Window window({});
        window.setMarked(marked);
        CodeEditor *editor = window.editor();
        const QString text = editor->toPlainText();
        QCOMPARE(editor->braceAtCaret(),
                 int(braceAt == QLatin1String("}") ? text.lastIndexOf(braceAt) : text.indexOf(braceAt)));
        const int expected = matchAfter.isEmpty() ? -1 : int(text.indexOf(matchAfter) + matchAfter.size());
        QCOMPARE(editor->matchingBrace(), expected);
        const QList<QTextEdit::ExtraSelection> selections = editor->extraSelections();
        QVERIFY(selections.size() >= 2);
        QVERIFY(selections.first().format.property(QTextFormat::FullWidthSelection).toBool());
        QCOMPARE(selections.first().cursor.blockNumber(), editor->textCursor().blockNumber());
        bool braceShown = false;
        for (const auto &selection : selections)
            braceShown |= selection.cursor.selectionStart() == editor->braceAtCaret();
        QVERIFY(braceShown);
    }

    void findAndReplace()
    {
        Window window(
            QStringLiteral("a { color: red; background-color: Red }\r\nb { colors: red-ish; color: blue }"));
        CodeEditor *editor = window.editor();
        TCodeForm &form = window.form;
        QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form.Find->isVisible());
        QVERIFY(!form.Find->isReplacing());
        QVERIFY(form.Find->FindEdit->hasFocus());
        QTest::keyClicks(form.Find->FindEdit, QStringLiteral("color"));
        QCOMPARE(editor->matches().size(), size_t(4));
        QCOMPARE(editor->textCursor().selectedText(), QStringLiteral("color"));
        QCOMPARE(editor->currentMatch(), 0);
        QCOMPARE(form.Find->Result->text(), QStringLiteral("1 of 4"));

        QTest::keyClick(form.Find->WordBox, Qt::Key_Space);
        QCOMPARE(editor->matches().size(), size_t(2));
        QTest::keyClick(editor, Qt::Key_F3);
        QCOMPARE(editor->currentMatch(), 1);
        QTest::keyClick(editor, Qt::Key_F3); // goes round to the first
        QCOMPARE(editor->currentMatch(), 0);
        QTest::keyClick(editor, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(editor->currentMatch(), 1);
        QCOMPARE(editor->textCursor().blockNumber(), 1);

        // Case: "red" and "Red", then only "Red".
        form.Find->FindEdit->setText(QStringLiteral("red"));
        QCOMPARE(editor->matches().size(), size_t(2)); // whole words: not "red-ish"
        QTest::keyClick(form.Find->CaseBox, Qt::Key_Space);
        QCOMPARE(editor->matches().size(), size_t(1));
        QTest::keyClick(form.Find->CaseBox, Qt::Key_Space);
        QTest::keyClick(form.Find->WordBox, Qt::Key_Space);
        QCOMPARE(editor->matches().size(), size_t(3));

        // Replace (Ctrl+H): one, then all, and one undo takes all back.
        QTest::keyClick(editor, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(form.Find->isReplacing());
        form.Find->ReplaceEdit->setText(QStringLiteral("green"));
        editor->moveCursor(QTextCursor::Start);
        QVERIFY(editor->findNext());
        QTest::mouseClick(form.Find->ReplaceOne, Qt::LeftButton);
        QVERIFY(form.text().startsWith(QStringLiteral("a { color: green;")));
        QCOMPARE(editor->currentMatch(), 0); // the next one is selected
        const QString before = form.text();
        QTest::mouseClick(form.Find->ReplaceAll, Qt::LeftButton);
        QCOMPARE(form.text(),
                 QStringLiteral(
                     "a { color: green; background-color: green }\r\nb { colors: green-ish; color: blue }"));
        QVERIFY(editor->matches().empty());
        QCOMPARE(form.Find->Result->text(), QStringLiteral("2 replaced"));
        editor->undo();
        QCOMPARE(form.text(), before);

        // Escape closes the bar, never the window; the matches go with it.
        QTest::keyClick(form.Find->FindEdit, Qt::Key_Escape);
        QVERIFY(!form.Find->isVisible());
        QVERIFY(form.isVisible());
        QVERIFY(editor->matches().empty());
        QTest::keyClick(editor, Qt::Key_H, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!form.Find->isVisible());
        QVERIFY(form.isVisible());
    }

    // Matches follow the edits made while the bar is open, and every one is found anew.
    void matchesFollowEdits()
    {
        Window window(QStringLiteral("red red\r\nred"));
        CodeEditor *editor = window.editor();
        editor->findAll(QStringLiteral("red"), {});
        QCOMPARE(editor->matches(), (std::vector<int>{0, 4, 8})); // one position per line break
        QTextCursor cursor(editor->document());
        cursor.insertText(QStringLiteral("xx "));
        QCOMPARE(editor->matches(), (std::vector<int>{3, 7, 11}));
        cursor.setPosition(8);
        cursor.insertText(QStringLiteral("-")); // inside the second
        QCOMPARE(editor->matches(), (std::vector<int>{3, 12}));
        cursor.insertText(QStringLiteral("red ")); // "xx red r-red ed", "red"
        QCOMPARE(editor->matches(), (std::vector<int>{3, 16}));
        QTRY_COMPARE(editor->matches(), (std::vector<int>{3, 9, 16}));
    }

    void goToLine()
    {
        Window window(QStringLiteral("a {}\r\nb {}\r\nc {}\r\nd {}"));
        CodeEditor *editor = window.editor();
        DialogAnswerer answer;
        answer.on<QInputDialog>([](QInputDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Go to Line"));
            QCOMPARE(dialog->intMaximum(), 4);
            dialog->setIntValue(3);
            dialog->accept();
        });
        QTest::keyClick(editor, Qt::Key_G, Qt::ControlModifier);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(editor->textCursor().blockNumber(), 2);
        QCOMPARE(editor->textCursor().positionInBlock(), 0);
        QCOMPARE(window.form.Place->text(), QStringLiteral("Line 3, Column 1"));
        editor->goToLine(99);
        QCOMPARE(editor->textCursor().blockNumber(), 3);
    }

    // Which list the caret's place offers (a sample of its entries) and for what letters.
    void completionLists_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("offered"); // among the entries
        QTest::addColumn<bool>("empty");
        QTest::newRow("property name")
            << "P {\n  backg|"
            << "backg" << QStringList{"background-color", "background-image"} << false;
        QTest::newRow("property name, nothing typed") << "P { color: red; |"
                                                      << "" << QStringList{"color", "font-size"} << false;
        QTest::newRow("property in @media") << "@media print {\n  P { font-s|"
                                            << "font-s" << QStringList{"font-size"} << false;
        QTest::newRow("keyword") << "P {\n  text-align: c|"
                                 << "c" << QStringList{"center"} << false;
        QTest::newRow("keyword, editor's form") << "P {text-align=|"
                                                << "" << QStringList{"left", "right"} << false;
        QTest::newRow("keyword on the next line") << "P {\n  text-align:\n    ri|"
                                                  << "ri" << QStringList{"right"} << false;
        QTest::newRow("value without keywords") << "P {color: re|"
                                                << "re" << QStringList{} << true;
        QTest::newRow("selector") << "P|"
                                  << "P" << QStringList{} << true;
        QTest::newRow("comment") << "P { /* col|"
                                 << "col" << QStringList{} << true;
    }

    void completionLists()
    {
        QFETCH(QString, marked);
        QFETCH(QString, prefix);
        QFETCH(QStringList, offered);
        QFETCH(bool, empty);
        Window window({});
        window.setMarked(marked);
        CodeCompleter *completer = window.form.Completer;
        completer->complete(true);
        QCOMPARE(completer->prefix(), prefix);
        const QStringList list = completer->offered();
        QCOMPARE(list.isEmpty(), empty);
        for (const QString &entry : offered)
            QVERIFY2(list.contains(entry), qPrintable(entry + QLatin1String(" not in ") + list.join(u',')));
        for (const QString &entry : list)
            QVERIFY(entry.startsWith(prefix, Qt::CaseInsensitive));
        QCOMPARE(completer->isShown(), !empty);
    }

    // The list opens by itself after two letters; Enter and Tab accept, Escape dismisses
    // without closing the window.
    void completionWhileTyping()
    {
        Window window(QStringLiteral("P {\r\n"));
        CodeEditor *editor = window.editor();
        CodeCompleter *completer = window.form.Completer;
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, QStringLiteral("  t"));
        QVERIFY(!completer->isShown());
        QTest::keyClicks(editor, QStringLiteral("ext-al"));
        QVERIFY(completer->isShown());
        QCOMPARE(completer->completer()->currentCompletion(), QStringLiteral("text-align"));
        QTest::keyClick(completer->completer()->popup(), Qt::Key_Return);
        QVERIFY(!completer->isShown());
        QCOMPARE(window.form.text(), QStringLiteral("P {\r\n  text-align"));

        QTest::keyClicks(editor, QStringLiteral(": ce"));
        QVERIFY(completer->isShown());
        QTest::keyClick(completer->completer()->popup(), Qt::Key_Tab);
        QCOMPARE(window.form.text(), QStringLiteral("P {\r\n  text-align: center"));

        QTest::keyClick(editor, Qt::Key_Semicolon);
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("  fo"));
        QVERIFY(completer->isShown());
        QTest::keyClick(completer->completer()->popup(), Qt::Key_Escape);
        QVERIFY(!completer->isShown());
        QVERIFY(window.form.isVisible());
        QVERIFY(window.form.text().endsWith(QStringLiteral("center;\r\n  fo")));

        // Ctrl+Space opens it with nothing typed.
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, QStringLiteral("nt-size: 1;"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("  "));
        QVERIFY(!completer->isShown());
        QTest::keyClick(editor, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(completer->isShown());
        QTest::keyClick(completer->completer()->popup(), Qt::Key_Escape);
    }

    // Where the reader refuses the text: underlined, with its reason in the status line
    // and as the underline's tooltip; gone once the text is right.
    void liveCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("mended");
        QTest::newRow("} closing no block")
            << "P {color: red;}\r\n}\r\nH1 {}" << 2 << 1 << 1 << "\"}\" closes no block"
            << "P {color: red;}\r\n\r\nH1 {}";
        QTest::newRow("} closing no block after a nested one")
            << "@media print {\r\n  P {color: red;}\r\n}\r\n  }" << 4 << 3 << 1 << "\"}\" closes no block"
            << "@media print {\r\n  P {color: red;}\r\n}\r\n";
        QTest::newRow("declaration without a name") << "P {\r\n  color: red;\r\n  : blue;\r\n}" << 3 << 3 << 1
                                                    << "the declaration \":blue\" has no name"
                                                    << "P {\r\n  color: red;\r\n}";
        QTest::newRow("declaration without a value") << "P {\r\n  margin: 0;\r\n  color: ;\r\n}" << 3 << 3
                                                     << 5 << "the declaration \"color:\" has no value"
                                                     << "P {\r\n  color: red;\r\n}";
        // The window copies a long text for the check in slices: the place found past the
        // first slices is the place in the whole text.
        QString rules;
        for (int i = 0; i < 10000; ++i)
            rules +=
                QStringLiteral(".item-%1 a {color: #123456; margin: 0 auto; padding: 1px 2px;}\r\n").arg(i);
        QTest::newRow("} closing no block after 10,000 lines")
            << rules + QStringLiteral("  }\r\nP {}") << 10001 << 3 << 1 << "\"}\" closes no block" << rules;
    }

    void liveCheck()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(int, length);
        QFETCH(QString, reason);
        QFETCH(QString, mended);
        Window window(text);
        CodeEditor *editor = window.editor();
        QVERIFY(window.checked());
        const QString description =
            QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(reason);
        QCOMPARE(window.form.Status->text(), description);
        QVERIFY(editor->hasCheckMark());
        const int start = editor->document()->findBlockByNumber(line - 1).position() + column - 1;
        QCOMPARE(editor->checkMarkStart(), start);
        QCOMPARE(editor->checkMarkEnd(), start + length);
        bool wavy = false;
        for (const auto &selection : editor->extraSelections())
            wavy |= selection.format.underlineStyle() == QTextCharFormat::WaveUnderline &&
                    selection.cursor.selectionStart() == start;
        QVERIFY(wavy);
        // The tooltip over the mark.
        QTextCursor at(editor->document());
        at.setPosition(start);
        editor->setTextCursor(at); // brings the mark into view
        const QPoint point = editor->cursorRect(at).center() + QPoint(2, 0);
        QHelpEvent help(QEvent::ToolTip, point, editor->viewport()->mapToGlobal(point));
        QApplication::sendEvent(editor->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), description);
        QToolTip::hideText();

        // Typing: the check waits for half a second without changes, then finds nothing.
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("x"));
        QVERIFY(window.form.isChecking());
        editor->setPlainText(mended);
        QVERIFY(window.checked());
        QVERIFY(!editor->hasCheckMark());
        QVERIFY(window.form.Status->text().isEmpty());
    }

    void realSheetsShowNoMark_data()
    {
        QTest::addColumn<QString>("path");
        const QDir real(QStringLiteral(LW_TEST_DATA_DIR "/real"));
        for (const QString &name : real.entryList({QStringLiteral("*.css")}, QDir::Files))
            QTest::newRow(qPrintable(name)) << real.filePath(name);
    }

    void realSheetsShowNoMark()
    {
        QFETCH(QString, path);
        Window window(TextFile::load(path).text);
        QVERIFY(window.checked());
        QVERIFY(!window.editor()->hasCheckMark());
        QVERIFY2(window.form.Status->text().isEmpty(), qPrintable(window.form.Status->text()));
    }
};

LW_TEST_CLASS(TestCodeEditor)
#include "TestCodeEditor.moc"
