#include "TestRegistry.h"
#include "ValueChecker.h"

#include <QElapsedTimer>
#include <QTest>

// The value definition grammar on small made-up syntaxes: each multiplier and
// combinator, matched against values that fit and values that do not.
class TestSyntaxMatching : public QObject
{
    Q_OBJECT

private slots:
    void grammar_data()
    {
        QTest::addColumn<QString>("syntax");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *name, const char *syntax, const char *value, bool valid) {
            QTest::newRow(name) << QString::fromUtf8(syntax) << QString::fromUtf8(value) << valid;
        };
        row("keyword", "a", "a", true);
        row("keyword other", "a", "b", false);
        row("juxtaposed in order", "a b c", "a b c", true);
        row("juxtaposed out of order", "a b c", "a c b", false);
        row("juxtaposed missing", "a b c", "a b", false);
        row("one of", "a | b | c", "b", true);
        row("one of only one", "a | b | c", "a b", false);
        row("all of any order", "a && b && c", "c a b", true);
        row("all of missing one", "a && b && c", "c a", false);
        row("all of twice", "a && b", "a b a", false);
        row("any of subset", "a || b || c", "c a", true);
        row("any of none", "a || b || c", "", false);
        row("any of twice", "a || b", "b b", false);
        row("precedence juxtaposition over &&", "a b && c", "c a b", true);
        row("precedence juxtaposition over && split", "a b && c", "a c b", false);
        row("precedence && over ||", "a && b || c", "c b a", true);
        row("precedence || over |", "a || b | c", "b a", true);
        row("precedence || over | mixed", "a || b | c", "a c", false);
        row("brackets", "[ a | b ] c", "b c", true);
        row("optional present", "a b?", "a b", true);
        row("optional absent", "a b?", "a", true);
        row("optional twice", "a b?", "a b b", false);
        row("star none", "a b*", "a", true);
        row("star many", "a b*", "a b b b", true);
        row("plus none", "a b+", "a", false);
        row("plus many", "a b+", "a b b", true);
        row("exact count", "a{3}", "a a a", true);
        row("exact count short", "a{3}", "a a", false);
        row("range lower", "a{2,3}", "a a", true);
        row("range upper", "a{2,3}", "a a a", true);
        row("range over", "a{2,3}", "a a a a", false);
        row("at least", "a{2,}", "a a a a a", true);
        row("at least short", "a{2,}", "a", false);
        row("comma list one", "a#", "a", true);
        row("comma list many", "a#", "a, a ,a", true);
        row("comma list without commas", "a#", "a a", false);
        row("comma list trailing comma", "a#", "a,", false);
        row("comma list leading comma", "a#", ", a", false);
        row("comma list bounded", "a#{2,3}", "a, a, a", true);
        row("comma list bounded over", "a#{2,3}", "a, a, a, a", false);
        row("comma list bounded under", "a#{2,3}", "a", false);
        row("comma list optional", "b a#?", "b", true);
        row("group not empty", "[ a? b? ]!", "b", true);
        row("group not empty refuses nothing", "x [ a? b? ]!", "x", false);
        row("group may be empty without !", "x [ a? b? ]", "x", true);
        row("literal slash", "a / b", "a/b", true);
        row("literal slash missing", "a / b", "a b", false);
        row("literal comma", "a , b", "a, b", true);
        row("quoted bracket", "'[' <custom-ident>* ']'", "[ one two ]", true);
        row("quoted bracket unclosed", "'[' <custom-ident>* ']'", "[ one two", false);
        row("function", "f( <integer> , <integer> )", "f(1, 2)", true);
        row("function name case", "f( <integer> )", "F(1)", true);
        row("function wrong content", "f( <integer> )", "f(a)", false);
        row("function extra content", "f( <integer> )", "f(1 2)", false);
        row("function empty", "f()", "f()", true);
        row("function empty given content", "f()", "f(1)", false);
        row("function name differs", "f( <integer> )", "g(1)", false);
        row("parenthesis block", "( a )", "(a)", true);
        row("type range inside", "<number [0,1]>", "0.5", true);
        row("type range refused", "<number [0,1]>", "2", false);
        row("type range infinite", "<length [0,\u221E]>", "1e6px", true);
        row("type range negative", "<length [0,\u221E]>", "-1px", false);
        row("type range after the type", "<length> [0,\u221E]", "-1px", false);
        row("type range math unchecked", "<length [0,\u221E]>", "calc(0px - 1px)", true);
        row("named syntax", "<pair>", "x y", true);
        row("named syntax wrong", "<pair>", "y x", false);
        row("property reference", "<'p2'> end", "1px end", true);
        row("property reference wrong", "<'p2'> end", "red end", false);
        row("recursive named syntax", "<nest>", "n(n(n(leaf)))", true);
        row("recursive named syntax wrong", "<nest>", "n(n(leaf leaf))", false);
        row("unknown type is loose", "<never-defined> a", "whatever a", true);
        row("unknown type takes one value", "<never-defined> a", "x y a", false);
        row("backtracking across optional", "a? a b", "a b", true);
        row("backtracking across repeats", "a* a a", "a a a", true);
        row("any order with shared types", "<integer> || <integer> c", "1 2 c", true);
        row("string type", "<string>+", "\"a\" 'b'", true);
        row("string type refuses ident", "<string>+", "a", false);
        row("url type", "<url>", "url(x.png)", true);
        row("url type function", "<url>", "url('x.png')", true);
        row("dashed ident", "<dashed-ident>", "--brand", true);
        row("dashed ident plain", "<dashed-ident>", "brand", false);
        row("angle", "<angle>", "1.5turn", true);
        row("angle zero without unit", "<angle>", "0", false);
        row("time", "<time>", "200ms", true);
        row("resolution", "<resolution>", "2x", true);
        row("frequency", "<frequency>", "1kHz", true);
        row("flex", "<flex>", "2fr", true);
        row("integer", "<integer>", "-3", true);
        row("integer with exponent", "<integer>", "1e3", false);
        row("percentage", "<percentage>", "12.5%", true);
        row("length zero", "<length>", "0", true);
        row("length non-zero number", "<length>", "1", false);
    }

    void grammar()
    {
        QFETCH(QString, syntax);
        QFETCH(QString, value);
        QFETCH(bool, valid);
        ValueChecker checker;
        checker.addProperty(QStringLiteral("p"), syntax);
        checker.addProperty(QStringLiteral("p2"), QStringLiteral("<length> | auto"));
        checker.addNamedSyntax(QStringLiteral("pair"), QStringLiteral("x y"));
        checker.addNamedSyntax(QStringLiteral("nest"), QStringLiteral("n( <nest> ) | leaf"));
        QCOMPARE(checker.unreadableSyntaxes(), QStringList());
        const ValueChecker::Result result = checker.check(u"p", value);
        QVERIFY2((result.verdict == ValueChecker::Verdict::Valid) == valid,
                 qPrintable(
                     QStringLiteral("%1 -> %2 (%3)").arg(value).arg(int(result.verdict)).arg(result.reason)));
        if (!valid)
            QCOMPARE(int(result.verdict), int(ValueChecker::Verdict::Invalid));
    }

    void unreadableSyntax_data()
    {
        QTest::addColumn<QString>("syntax");
        QTest::newRow("unclosed bracket") << QStringLiteral("[ a | b");
        QTest::newRow("unclosed type") << QStringLiteral("<length");
        QTest::newRow("dangling bar") << QStringLiteral("a |");
        QTest::newRow("bad braces") << QStringLiteral("a{3,1}");
        QTest::newRow("unclosed function") << QStringLiteral("f( a");
    }

    // A syntax that cannot be read leaves its property undecided, never reported.
    void unreadableSyntax()
    {
        QFETCH(QString, syntax);
        ValueChecker checker;
        checker.addProperty(QStringLiteral("p"), syntax);
        QCOMPARE(checker.unreadableSyntaxes(), QStringList{QStringLiteral("p")});
        QCOMPARE(int(checker.check(u"p", u"a").verdict), int(ValueChecker::Verdict::Undecided));
    }

    // Syntaxes whose naive search would branch exponentially are decided quickly, or
    // left undecided when the step limit is reached; never reported as wrong.
    void boundedWork()
    {
        ValueChecker checker;
        checker.addProperty(QStringLiteral("nested"), QStringLiteral("[ [ [ a? ]* ]* ]*"));
        checker.addProperty(QStringLiteral("pairs"), QStringLiteral("[ a | a a ]+ b"));
        checker.addProperty(QStringLiteral("any"), QStringLiteral("[ a? || b? || c? || d? || e? || f? ]+ z"));
        QString many;
        for (int i = 0; i < 300; ++i)
            many += QStringLiteral("a ");
        QElapsedTimer timer;
        timer.start();
        // Nested repeats of what may be empty: more states than the limit allows.
        const ValueChecker::Verdict nested = checker.check(u"nested", many).verdict;
        QVERIFY(nested == ValueChecker::Verdict::Valid || nested == ValueChecker::Verdict::Undecided);
        QCOMPARE(int(checker.check(u"pairs", many + u'b').verdict), int(ValueChecker::Verdict::Valid));
        QCOMPARE(int(checker.check(u"pairs", many + u'c').verdict), int(ValueChecker::Verdict::Invalid));
        const ValueChecker::Verdict any =
            checker.check(u"any", QStringLiteral("a b c d e f a b c d e f y")).verdict;
        QVERIFY(any == ValueChecker::Verdict::Invalid || any == ValueChecker::Verdict::Undecided);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }
};

LW_TEST_CLASS(TestSyntaxMatching)
#include "TestSyntaxMatching.moc"
