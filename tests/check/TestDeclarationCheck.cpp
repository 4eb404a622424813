#include "DeclarationCheck.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(DeclarationCheck::Context)
Q_DECLARE_METATYPE(DeclarationCheck::Form)
Q_DECLARE_METATYPE(DeclarationCheck::Kind)

namespace {

// "name: value; name: value" as a block whose declarations stand on lines 10, 11...;
// the texts are kept in `storage`, which the records point into.
std::vector<DeclarationCheck::Declaration> blockOf(const QString &text, QStringList &storage,
                                                   int firstLine = 10)
{
    storage = text.split(u';', Qt::SkipEmptyParts);
    std::vector<DeclarationCheck::Declaration> block;
    int line = firstLine;
    for (const QString &item : std::as_const(storage)) {
        const qsizetype colon = item.indexOf(u':');
        if (colon < 0)
            block.push_back({QStringView(item).trimmed(), {}, false, line});
        else
            block.push_back({QStringView(item).first(colon).trimmed(),
                             QStringView(item).sliced(colon + 1).trimmed(), true, line});
        if (firstLine > 0)
            ++line;
    }
    return block;
}

} // namespace

// The declaration check of one block against the real syntax.db: each declaration's own
// finding, and which declarations the next one of their property overrides.
class TestDeclarationCheck : public QObject
{
    Q_OBJECT

    DeclarationCheck m_check;

private slots:
    void initTestCase()
    {
        m_check.open(QDir(TestEnvironment::programFolder()).filePath(QStringLiteral("syntax.db")));
    }

    void own_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<DeclarationCheck::Context>("context");
        QTest::addColumn<DeclarationCheck::Form>("form");
        QTest::addColumn<DeclarationCheck::Kind>("kind");
        QTest::addColumn<QString>("reason"); // exact; empty for none
        using C = DeclarationCheck::Context;
        using F = DeclarationCheck::Form;
        using K = DeclarationCheck::Kind;
        const auto row = [](const char *tag, const char *name, const char *value, C context, F form, K kind,
                            const char *reason) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(value) << context << form
                               << kind << QString::fromUtf8(reason);
        };
        row("valid", "color", "red", C::Style, F::Standard, K::None, "");
        row("unknown with suggestion", "colr", "red", C::Style, F::Standard, K::UnknownProperty,
            "unknown property colr (did you mean color?)");
        row("unknown far from every name", "frobnicate", "1", C::Style, F::Standard, K::UnknownProperty,
            "unknown property frobnicate");
        row("hack star", "*zoom", "1", C::Style, F::Standard, K::None, "");
        row("hack underscore", "_height", "1px", C::Style, F::Standard, K::None, "");
        row("vendor-prefixed property", "-webkit-margin-end", "2px", C::Style, F::Standard, K::None, "");
        row("custom property", "--anything", "{ a ]", C::Style, F::Standard, K::None, "");
        row("invalid value", "display", "flexx", C::Style, F::Standard, K::InvalidValue,
            "'flexx' is not a valid value for display");
        row("var() not decided", "display", "var(--d) flexx", C::Style, F::Standard, K::None, "");
        row("editor form quoted keyword", "display", "\"flex\"", C::Style, F::Editor, K::QuotedValue,
            "display=\"flex\" is not valid CSS");
        row("editor form quoted keyword, blanks", "display ", " \"flex\"", C::Style, F::Editor,
            K::QuotedValue, "display=\"flex\" is not valid CSS");
        row("standard form quoted keyword", "display", "\"flex\"", C::Style, F::Standard, K::InvalidValue,
            "'\"flex\"' is not a valid value for display");
        row("editor form quoted string that is valid", "font-family", "\"Arial\"", C::Style, F::Editor,
            K::None, "");
        row("editor form quoted and wrong inside", "display", "\"flexx\"", C::Style, F::Editor,
            K::InvalidValue, "'\"flexx\"' is not a valid value for display");
        row("editor form empty quotes", "display", "\"\"", C::Style, F::Editor, K::InvalidValue,
            "'\"\"' is not a valid value for display");
        row("descriptor src", "src", "url(a.woff2) format(\"woff2\")", C::Descriptors, F::Standard, K::None,
            "");
        row("descriptor of any name", "colr", "red", C::Descriptors, F::Standard, K::None, "");
        row("page property checked", "margin", "red", C::Page, F::Standard, K::InvalidValue,
            "'red' is not a valid value for margin");
        row("page property valid", "margin", "1in 2cm", C::Page, F::Standard, K::None, "");
        row("page descriptor", "size", "A4 landscape", C::Page, F::Standard, K::None, "");
    }

    void own()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(DeclarationCheck::Context, context);
        QFETCH(DeclarationCheck::Form, form);
        QFETCH(DeclarationCheck::Kind, kind);
        QFETCH(QString, reason);
        const DeclarationCheck::Finding finding = m_check.check({name, value, true, 3}, context, form);
        QCOMPARE(finding.reason, reason);
        QCOMPARE(finding.kind, kind);
    }

    void nameWithoutValue()
    {
        const DeclarationCheck::Finding finding =
            m_check.check({u"New Property", {}, false, 0}, DeclarationCheck::Context::Style,
                          DeclarationCheck::Form::Editor);
        QVERIFY(!finding);
    }

    // Each row: a block on lines 10, 11..., and "INDEX REASON" for each finding.
    void overriding_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<DeclarationCheck::Context>("context");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *tag, const char *block, QStringList expected,
                            DeclarationCheck::Context context = DeclarationCheck::Context::Style) {
            QTest::newRow(tag) << QString::fromUtf8(block) << context << expected;
        };
        row("colour names", "color: red; color: blue", {QStringLiteral("0 overridden by line 11")});
        row("numbers and long-standing units", "margin: 0; padding: 1px; margin: 4px 2em",
            {QStringLiteral("0 overridden by line 12")});
        row("name in another case", "color: red; COLOR: blue", {QStringLiteral("0 overridden by line 11")});
        row("only by the next of its property", "color: red; color: green; color: blue",
            {QStringLiteral("0 overridden by line 11"), QStringLiteral("1 overridden by line 12")});
        row("later !important wins", "color: red; color: blue !important",
            {QStringLiteral("0 overridden by line 11")});
        row("custom property", "--x: 1; --x: 2", {QStringLiteral("0 overridden by line 11")});
        row("custom properties differ by case", "--x: 1; --X: 2", {});
        row("vendor keyword fallback", "display: -webkit-box; display: -ms-flexbox; display: flex", {});
        row("vendor function fallback", "background: -webkit-linear-gradient(red, blue); background: red",
            {});
        row("newer keyword", "text-align: left; text-align: start", {});
        row("newer syntax of a shorthand", "text-decoration: underline; text-decoration: underline dotted",
            {});
        row("newer function", "color: #fff; color: rgba(255, 255, 255, .5)", {});
        row("newer unit", "font-size: 14px; font-size: 1.4rem", {});
        row("alpha hex", "color: rgba(0, 0, 0, .5); color: #00000080", {});
        row("earlier !important wins", "color: red !important; color: blue", {});
        row("later uses var()", "color: red; color: var(--c)", {});
        row("later invalid keeps the earlier", "color: red; color: bluee",
            {QStringLiteral("1 'bluee' is not a valid value for color")});
        row("earlier invalid shows its own finding", "color: bluee; color: red",
            {QStringLiteral("0 'bluee' is not a valid value for color")});
        row("prefixed and unprefixed are different properties", "-webkit-transition: a 1s; transition: a 1s",
            {});
        row("descriptors never", "src: url(a.eot); src: url(a.woff)", {},
            DeclarationCheck::Context::Descriptors);
        // More than the small-block limit, so that the table of names is used.
        row("large block",
            "color: red; margin: 0; padding: 0; top: 0; left: 0; right: 0; bottom: 0; width: 1px; height: "
            "1px; "
            "z-index: 1; opacity: 1; float: none; clear: none; cursor: auto; outline: 0; border: 0; content: "
            "none; color: blue; --a: 1; --A: 2; margin: 2px; opacity: 0.5",
            {QStringLiteral("0 overridden by line 27"), QStringLiteral("1 overridden by line 30"),
             QStringLiteral("10 overridden by line 31")});
    }

    void overriding()
    {
        QFETCH(QString, block);
        QFETCH(DeclarationCheck::Context, context);
        QFETCH(QStringList, expected);
        QStringList storage;
        const std::vector<DeclarationCheck::Declaration> declarations = blockOf(block, storage);
        std::vector<DeclarationCheck::Finding> findings;
        m_check.checkBlock(declarations, context, DeclarationCheck::Form::Standard, findings);
        QCOMPARE(findings.size(), declarations.size());
        QStringList actual;
        for (size_t i = 0; i < findings.size(); ++i) {
            if (findings[i])
                actual << QStringLiteral("%1 %2").arg(i).arg(findings[i].reason);
            // One declaration alone, as after an edit, gives the same finding.
            const DeclarationCheck::Finding one =
                m_check.checkOne(declarations, qsizetype(i), context, DeclarationCheck::Form::Standard);
            QCOMPARE(one.reason, findings[i].reason);
            QCOMPARE(one.kind, findings[i].kind);
        }
        QCOMPARE(actual, expected);
    }

    // Whether an @supports condition asks for a declaration, which then stands guarded.
    void supportsAsksFor_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("asks");
        const auto row = [](const char *tag, const char *condition, const char *name, const char *value,
                            bool asks) {
            QTest::newRow(tag) << QString::fromUtf8(condition) << QString::fromUtf8(name)
                               << QString::fromUtf8(value) << asks;
        };
        row("the same test", "@supports (appearance: base-select)", "appearance", "base-select", true);
        row("another value", "@supports (appearance: base-select)", "appearance", "base", false);
        row("another property", "@supports (appearance: base-select)", "-webkit-appearance", "base-select",
            false);
        row("blanks, comments and case aside", " (APPEARANCE :/* x */Base-Select )", "appearance",
            "base-select", true);
        row("value of several tokens", "(width: calc-size(auto, size))", "width", "calc-size(auto,size)",
            true);
        row("longer value in the test", "(width: calc-size(auto, size) )", "width", "calc-size(auto)", false);
        row("important left out", "(max-block-size: stretch)", "max-block-size", "stretch !important", true);
        row("one of several", "((position: sticky) or (max-block-size: stretch))", "max-block-size",
            "stretch", true);
        row("under not", "not (max-block-size: stretch)", "max-block-size", "stretch", false);
        row("under not, the other test", "not (a: b) and (max-block-size: stretch)", "max-block-size",
            "stretch", true);
        row("a selector test", "selector(:has(a))", "has", "a", false);
        row("empty value", "(color: red)", "color", "", false);
    }

    void supportsAsksFor()
    {
        QFETCH(QString, condition);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, asks);
        QCOMPARE(DeclarationCheck::supportsAsksFor(condition, name, value), asks);
    }

    // A declaration made in the editor has no line to name.
    void overriddenByDeclarationWithoutLine()
    {
        QStringList storage;
        const auto declarations = blockOf(QStringLiteral("color: red; color: blue"), storage, 0);
        std::vector<DeclarationCheck::Finding> findings;
        m_check.checkBlock(declarations, DeclarationCheck::Context::Style, DeclarationCheck::Form::Editor,
                           findings);
        QCOMPARE(findings[0].kind, DeclarationCheck::Kind::Overridden);
        QCOMPARE(findings[0].reason, QStringLiteral("overridden by the next color declaration"));
        QVERIFY(!findings[1]);
    }
};

LW_TEST_CLASS(TestDeclarationCheck)
#include "TestDeclarationCheck.moc"
