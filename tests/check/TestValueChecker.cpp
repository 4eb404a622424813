#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "ValueChecker.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(ValueChecker::Verdict)

// Declarations checked against the real value syntaxes of syntax.db: what a browser
// keeps and what it drops, one row per construct of the grammar or data type.
class TestValueChecker : public QObject
{
    Q_OBJECT

    ValueChecker m_checker;

private slots:
    void initTestCase()
    {
        m_checker.open(QDir(TestEnvironment::programFolder()).filePath(QStringLiteral("syntax.db")));
    }

    void declarations_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<ValueChecker::Verdict>("verdict");
        const auto valid = ValueChecker::Verdict::Valid;
        const auto invalid = ValueChecker::Verdict::Invalid;
        const auto row = [](const char *name, const char *property, const char *value,
                            ValueChecker::Verdict v) {
            QTest::newRow(name) << QString::fromUtf8(property) << QString::fromUtf8(value) << v;
        };
        // Lengths, numbers and repetition {1,4}.
        row("margin two lengths", "margin", "0.67em 0", valid);
        row("margin auto", "margin", "0 auto", valid);
        row("margin number and unit apart", "margin", "12 px", invalid);
        row("margin five values", "margin", "1px 2px 3px 4px 5px", invalid);
        row("margin negative", "margin", "-10px", valid);
        row("padding negative refused by range", "padding", "-1px", invalid);
        row("width lone minus", "width", "-", invalid);
        row("width unitless non-zero", "width", "10", invalid);
        row("width viewport and container units", "width", "50dvw", valid);
        row("width cqi", "width", "10cqi", valid);
        row("width unknown unit", "width", "10pz", invalid);
        row("width calc", "width", "calc(100% - 2 * 1rem)", valid);
        row("width clamp", "width", "clamp(1rem, 2.5vw, 2rem)", valid);
        row("width empty calc", "width", "calc()", invalid);
        row("width keyword case", "width", "AUTO", valid);
        row("z-index integer", "z-index", "10", valid);
        row("z-index fraction", "z-index", "1.5", invalid);
        row("opacity number", "opacity", ".5", valid);
        row("opacity percentage", "opacity", "50%", valid);
        row("line-height number", "line-height", "1.4", valid);
        // Keywords and juxtaposition.
        row("display keyword", "display", "block", valid);
        row("display misspelt", "display", "flexx", invalid);
        row("display two keywords", "display", "block flow", valid);
        row("display inline flex", "display", "inline flex", valid);
        row("display repeated keyword", "display", "block block", invalid);
        // Colours.
        row("color named", "color", "red", valid);
        row("color named any case", "color", "RebeccaPurple", valid);
        row("color hex 3", "color", "#fff", valid);
        row("color hex 8", "color", "#11223344", valid);
        row("color hex 5", "color", "#12345", invalid);
        row("color hex not hex", "color", "#ggg", invalid);
        row("color rgb legacy", "color", "rgb(255, 0, 0)", valid);
        row("color rgb modern", "color", "rgb(255 0 0 / 50%)", valid);
        row("color hsl", "color", "hsla(120deg, 100%, 50%, .3)", valid);
        row("color oklch", "color", "oklch(70% 0.1 200)", valid);
        row("color color-mix", "color", "color-mix(in srgb, red 40%, blue)", valid);
        row("color system", "color", "Canvas", valid);
        row("color currentcolor", "color", "currentColor", valid);
        row("color unknown word", "color", "reddish", invalid);
        row("color two colours", "color", "red blue", invalid);
        row("color rgb of a string", "color", "rgb(\"x\")", invalid);
        // Comma lists #, || in any order, times.
        row("transition list", "transition", "opacity .3s ease-in-out, transform .3s", valid);
        row("transition two times", "transition", "all 0.2s ease 0s", valid);
        row("transition trailing comma", "transition", "opacity .3s,", invalid);
        row("transition time unit", "transition", "opacity 3px", invalid);
        row("animation shorthand", "animation", "spin 2s linear infinite", valid);
        row("font-family list", "font-family", "\"Helvetica Neue\", Arial, sans-serif", valid);
        row("font-family empty item", "font-family", "Arial,, serif", invalid);
        // Slash, optional groups, && and ||.
        row("font shorthand", "font", "italic bold 12px/30px Georgia, serif", valid);
        row("font size only", "font", "12px", invalid);
        row("border shorthand", "border", "1px solid #ccc", valid);
        row("border any order", "border", "solid #ccc 1px", valid);
        row("border style twice", "border", "solid dashed", invalid);
        row("border-radius slash", "border-radius", "10px 5% / 20px", valid);
        row("background layers", "background", "url(a.png) no-repeat center / cover", valid);
        row("background two layers", "background",
            "url(a.png) top left, linear-gradient(to right, red, blue)", valid);
        row("background colour not last", "background", "red, url(a.png)", invalid);
        row("background-image quoted url", "background-image", "url(\"a b.png\")", valid);
        row("box-shadow", "box-shadow", "0 1px 2px rgba(0,0,0,.2), inset 0 0 0 1px #fff", valid);
        // Functions.
        row("grid repeat", "grid-template-columns", "repeat(2, 1fr)", valid);
        row("grid minmax", "grid-template-columns", "repeat(auto-fill, minmax(100px, 1fr))", valid);
        row("grid line names", "grid-template-columns", "[full-start] 1fr [full-end]", valid);
        row("grid repeat without comma", "grid-template-columns", "repeat(2 1fr)", invalid);
        row("transform functions", "transform", "translate(-50%, -50%) rotate(45deg)", valid);
        row("transform unknown function", "transform", "spin(45deg)", invalid);
        row("transform unclosed at the end", "transform", "rotate(45deg", valid);
        row("stray closing parenthesis", "width", "10px)", invalid);
        row("grid-area slashes", "grid-area", "1 / 2 / 3 / 4", valid);
        row("grid-area trailing slash", "grid-area", "a /", invalid);
        row("content strings", "content", "\"\\201C\" attr(title)", valid);
        row("content counter", "content", "counter(item) \". \"", valid);
        // What every property takes, and what is never decided here.
        row("css-wide inherit", "color", "inherit", valid);
        row("css-wide revert-layer", "display", "revert-layer", valid);
        row("css-wide among others", "margin", "0 inherit", invalid);
        row("var", "color", "var(--x)", valid);
        row("var inside", "margin", "0 var(--gap) 1px", valid);
        row("env", "padding-top", "env(safe-area-inset-top)", valid);
        row("custom function", "border-width", "--double(1px)", valid);
        row("custom function inside calc", "width", "calc(--gap() * 2)", valid);
        row("custom property", "--anything", "{ whatever ] here", valid);
        row("important", "color", "red !important", valid);
        row("important spaced", "color", "red ! IMPORTANT", valid);
        row("important alone", "color", "!important", invalid);
        row("property name case", "COLOR", "red", valid);
        row("empty value", "color", "", invalid);
        row("comment only", "color", "/* none */", invalid);
        row("comment between", "margin", "0/**/auto", valid);
        row("semicolon inside", "color", "red; blue", invalid);
        row("custom-ident not default", "animation-name", "default", invalid);
        row("custom-ident", "animation-name", "slide-in", valid);
        row("custom-ident css-wide in list", "animation-name", "a, inherit", invalid);
        // Math functions give a typed result, which must be the type the place takes: a
        // number is no length, not even 0.
        row("calc number for a length", "margin-left", "calc(-1 * 0)", invalid);
        row("calc number times length", "margin-left", "calc(-1 * 0px)", valid);
        row("calc number in a list of lengths", "margin", "calc(-1 * 0) auto", invalid);
        row("calc length over length is a number", "width", "calc(10px / 1px)", invalid);
        row("calc typed product back to a length", "width", "calc(10px * 1px / 1px)", valid);
        row("calc length plus number", "width", "calc(10px + 0)", invalid);
        row("calc plus without blanks", "width", "calc(1px+2px)", invalid);
        row("calc minus a negative", "width", "calc(1px - -2px)", valid);
        row("calc plus between comments", "width", "calc(1px /**/+ 2px)", valid);
        row("calc two terms without operator", "width", "calc(1px 2px)", invalid);
        row("calc operator without operand", "width", "calc(1px *)", invalid);
        row("calc percentage with length where both count", "width", "calc(2 * (1px + 1%))", valid);
        // A syntax may list <length> and <percentage> apart (line-height), so a sum of both
        // is taken wherever a length is.
        row("calc percentage with length, listed apart", "line-height", "calc(hypot(10px, 50%))", valid);
        row("calc percentage with number", "opacity", "calc(0.5 + 5%)", invalid);
        row("calc percentage with time for a length", "width", "calc(1s + 5%)", invalid);
        row("calc percentage over length for a number", "flex-grow", "calc(1px / 5%)", valid);
        row("calc number for an integer", "z-index", "calc(1.5)", valid);
        row("calc percentage for number or percentage", "opacity", "calc(50%)", valid);
        row("calc number for an angle", "transform", "rotate(calc(0))", invalid);
        row("calc angles", "transform", "rotate(calc(0deg + 1turn))", valid);
        row("atan gives an angle", "transform", "rotate(atan(1))", valid);
        row("sin of an angle gives a number", "opacity", "sin(45deg)", valid);
        row("round a length without step", "width", "round(10.5px)", invalid);
        row("round with strategy and step", "width", "round(up, 10.5px, 1px)", valid);
        row("calc constant times length", "width", "calc(e * 1px)", valid);
        row("calc constant alone", "width", "calc(pi)", invalid);
        row("clamp with none", "width", "clamp(none, 10px, 20px)", valid);
        row("clamp with two arguments", "width", "clamp(10px, 20px)", invalid);
        row("min of length and percentage", "width", "min(10px, 5%)", valid);
        row("min of length and time", "width", "min(10px, 5s)", invalid);
        row("calc unknown unit", "width", "calc(10pz)", invalid);
        row("calc other function not decided", "width", "calc(sibling-index() * 1px)", valid);
        row("calc custom property name without var", "width", "calc(100% + (--1px * 2))", invalid);
        row("calc nested math", "font-size", "max(1rem, min(2vw, 3rem))", valid);
        // Values browsers take that the value data is older than.
        row("clip rect with blanks", "clip", "rect(0 0 0 0)", valid);
        row("clip rect with commas", "clip", "rect(1px, 1px, 1px, auto)", valid);
        row("clip rect with both", "clip", "rect(1px 1px, 1px 1px)", invalid);
        row("width stretch", "width", "stretch", valid);
        row("max-block-size stretch through max-width", "max-block-size", "stretch", valid);
        row("margin stretch", "margin", "stretch", invalid);
        row("circle percentage radius at a place", "clip-path", "circle(50% at 50% 50%)", valid);
        row("circle two radii", "clip-path", "circle(50% 50%)", invalid);
        row("ellipse side keywords", "clip-path", "ellipse(closest-side farthest-side)", valid);
        row("ellipse one radius", "clip-path", "ellipse(40px)", invalid);
        row("speak", "speak", "none", valid);
        row("speak unknown keyword", "speak", "never", invalid);
        row("appearance base-select", "appearance", "base-select", valid);
    }

    void declarations()
    {
        QFETCH(QString, property);
        QFETCH(QString, value);
        QFETCH(ValueChecker::Verdict, verdict);
        const ValueChecker::Result result = m_checker.check(property, value);
        QVERIFY2(result.verdict == verdict, qPrintable(QStringLiteral("%1: %2 -> %3 (%4)")
                                                           .arg(property, value)
                                                           .arg(int(result.verdict))
                                                           .arg(result.reason)));
        QCOMPARE(result.reason.isEmpty(), verdict == ValueChecker::Verdict::Valid);
    }

    // The reasons name the property, the offending piece, and a close known name.
    void reasons_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<ValueChecker::Verdict>("verdict");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const char *property, const char *value,
                            ValueChecker::Verdict v, const char *reason) {
            QTest::newRow(name) << QString::fromUtf8(property) << QString::fromUtf8(value) << v
                                << QString::fromUtf8(reason);
        };
        const auto unknown = ValueChecker::Verdict::UnknownProperty;
        const auto invalid = ValueChecker::Verdict::Invalid;
        row("missing letter", "colr", "red", unknown, "unknown property colr (did you mean color?)");
        row("swapped letters", "dispaly", "block", unknown,
            "unknown property dispaly (did you mean display?)");
        row("two edits", "margn-tp", "0", unknown, "unknown property margn-tp (did you mean margin-top?)");
        row("nothing close", "frobnicate", "1", unknown, "unknown property frobnicate");
        row("short name", "src", "url(a.woff)", unknown, "unknown property src");
        row("hack prefix", "*zoom", "1", unknown, "unknown property *zoom (did you mean zoom?)");
        row("single keyword", "display", "flexx", invalid, "'flexx' is not a valid value for display");
        row("later token", "display", "block flexx", invalid,
            "'flexx' is not valid at this place in a value for display");
        row("number without unit", "margin", "12 px", invalid,
            "'12' is not valid at this place in a value for margin");
        row("hex", "color", "#12345", invalid, "'#12345' is not a valid value for color");
        row("inside a function", "grid-template-columns", "repeat(2, 1fx)", invalid,
            "'1fx' is not valid at this place in a value for grid-template-columns");
        row("incomplete", "grid-area", "a /", invalid, "the value of grid-area is incomplete");
    }

    void reasons()
    {
        QFETCH(QString, property);
        QFETCH(QString, value);
        QFETCH(ValueChecker::Verdict, verdict);
        QFETCH(QString, reason);
        const ValueChecker::Result result = m_checker.check(property, value);
        QCOMPARE(int(result.verdict), int(verdict));
        QCOMPARE(result.reason, reason);
    }

    // Math nested deeper than anyone writes is left undecided, not followed to the end.
    void deepMathNesting()
    {
        const QString value = QStringLiteral("calc(") + QString(5000, u'(') + QStringLiteral("1px") +
                              QString(5000, u')') + u')';
        QCOMPARE(int(m_checker.check(u"width", value).verdict), int(ValueChecker::Verdict::Valid));
    }

    // Prefixed names the data does not list are left undecided, never reported.
    void vendorPrefixes()
    {
        QCOMPARE(int(m_checker.check(u"-webkit-made-up", u"1").verdict),
                 int(ValueChecker::Verdict::Undecided));
        QCOMPARE(int(m_checker.check(u"display", u"-webkit-box").verdict),
                 int(ValueChecker::Verdict::Undecided));
        QCOMPARE(int(m_checker.check(u"background", u"-webkit-linear-gradient(top, red, blue)").verdict),
                 int(ValueChecker::Verdict::Undecided));
        // A prefixed property the data lists is checked like any other.
        QVERIFY(m_checker.isKnownProperty(u"-webkit-line-clamp"));
        QCOMPARE(int(m_checker.check(u"-webkit-line-clamp", u"3").verdict),
                 int(ValueChecker::Verdict::Valid));
        QCOMPARE(int(m_checker.check(u"-webkit-line-clamp", u"three").verdict),
                 int(ValueChecker::Verdict::Invalid));
    }

    // Every syntax in the data can be read, and no property is left undecided for a
    // plain one-word value.
    void everySyntaxReads()
    {
        QCOMPARE(m_checker.unreadableSyntaxes(), QStringList());
        QVERIFY(m_checker.propertyNames().size() > 600);
        for (const QString &name : m_checker.propertyNames()) {
            const ValueChecker::Result result = m_checker.check(name, u"x");
            QVERIFY2(result.verdict != ValueChecker::Verdict::Undecided,
                     qPrintable(name + u' ' + result.reason));
        }
    }

    void missingFile()
    {
        ValueChecker checker;
        QVERIFY_THROWS_EXCEPTION(std::exception, checker.open(QStringLiteral("/nonexistent/syntax.db")));
    }
};

LW_TEST_CLASS(TestValueChecker)
#include "TestValueChecker.moc"
