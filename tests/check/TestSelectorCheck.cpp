#include "SelectorCheck.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(SelectorCheck::Problem)

// The selector check against the pseudo-class and pseudo-element names of the real
// syntax.db: each row that must be marked stands beside one like it that must not.
class TestSelectorCheck : public QObject
{
    Q_OBJECT

    SelectorCheck m_check;

private slots:
    void initTestCase()
    {
        m_check.open(QDir(TestEnvironment::programFolder()).filePath(QStringLiteral("syntax.db")));
        QVERIFY(!m_check.isEmpty());
    }

    void check_data()
    {
        QTest::addColumn<QString>("selectors");
        QTest::addColumn<bool>("nested");
        QTest::addColumn<SelectorCheck::Problem>("problem");
        QTest::addColumn<QString>("reason"); // exact; empty for none
        using P = SelectorCheck::Problem;
        const QString drops = QStringLiteral("a browser drops this whole rule: ");

        QTest::newRow("known pseudo-class") << "a:hover" << false << P::None << QString();
        QTest::newRow("mistyped pseudo-class, with the closest name")
            << "a:hovr" << false << P::Invalid
            << drops + QStringLiteral("unknown pseudo-class :hovr (did you mean :hover?)");
        QTest::newRow("pseudo-class in upper case") << "A:HOVER" << false << P::None << QString();
        QTest::newRow("known pseudo-element") << "p::first-line" << false << P::None << QString();
        QTest::newRow("mistyped pseudo-element")
            << "p::befor" << false << P::Invalid
            << drops + QStringLiteral("unknown pseudo-element ::befor (did you mean ::before?)");
        QTest::newRow("CSS 2 pseudo-element with one colon")
            << "p:before, p:first-letter" << false << P::None << QString();
        QTest::newRow("a pseudo-element written as a pseudo-class")
            << "p:selection" << false << P::Invalid
            << drops + QStringLiteral("unknown pseudo-class :selection (did you mean ::selection?)");
        QTest::newRow("unknown name far from every known one")
            << "a:zzzzzzzz" << false << P::Invalid
            << drops + QStringLiteral("unknown pseudo-class :zzzzzzzz");
        QTest::newRow("functional pseudo-classes")
            << "li:nth-child(2n+1 of .x), p:not(.a, .b), div:has(> img), :lang(en), :dir(rtl)" << false
            << P::None << QString();
        QTest::newRow("a functional name without its argument")
            << "p:not" << false << P::Invalid
            << drops + QStringLiteral("unknown pseudo-class :not (did you mean :not()?)");
        QTest::newRow(":not() with an unknown name inside")
            << "p:not(:hovr)" << false << P::Invalid
            << drops + QStringLiteral("in :not(): unknown pseudo-class :hovr (did you mean :hover?)");
        QTest::newRow(":is() forgives what it cannot read")
            << "p:is(:hovr, .b), p:where()" << false << P::None << QString();
        QTest::newRow("an empty :not()")
            << "p:not()" << false << P::Invalid << drops + QStringLiteral(":not() needs an argument");
        QTest::newRow("combinators") << ".a > .b + .c ~ .d .e" << false << P::None << QString();
        QTest::newRow("names, blanks and combinators of every kind")
            << " a\t.b\n>  c , #d-1.e#f,*.g,&.h, -i~_j+k " << false << P::None << QString();
        QTest::newRow("a star after a name")
            << "a.b*c" << false << P::Invalid << drops + QStringLiteral("unexpected \"*\" in the selector");
        QTest::newRow("a class beginning with a digit")
            << ".5a" << false << P::Invalid << drops + QStringLiteral("unexpected \".5a\" in the selector");
        QTest::newRow("a name after \"&\"")
            << "&a" << false << P::Invalid << drops + QStringLiteral("unexpected \"a\" in the selector");
        QTest::newRow("ends with a combinator")
            << ".a >" << false << P::Invalid
            << drops + QStringLiteral("the selector ends with the combinator \">\"");
        QTest::newRow("begins with a combinator at the top")
            << "> .a" << false << P::Invalid
            << drops + QStringLiteral("the selector begins with the combinator \">\"");
        QTest::newRow("begins with a combinator in a rule")
            << "> .a, + .b, & .c" << true << P::None << QString();
        QTest::newRow("id") << "#a1" << false << P::None << QString();
        QTest::newRow("id beginning with a digit")
            << "#1a" << false << P::Invalid << drops + QStringLiteral("\"#1a\" is no id selector");
        QTest::newRow("attribute selectors")
            << "[data-x=\"1\" i], [lang|=en], a[href^='http'], [x~=y], [x$=y], [x*=y], *|p, [|x]" << false
            << P::None << QString();
        QTest::newRow("unknown attribute flag")
            << "[data-x=\"1\" q]" << false << P::Invalid
            << drops + QStringLiteral("unknown attribute selector flag q");
        QTest::newRow("attribute without name")
            << "[=x]" << false << P::Invalid << drops + QStringLiteral("an attribute selector needs a name");
        QTest::newRow("a double dot")
            << ".a..b" << false << P::Invalid << drops + QStringLiteral("a class name must follow \".\"");
        QTest::newRow("an empty selector in a list")
            << "a, , b" << false << P::Invalid << drops + QStringLiteral("an empty selector in the list");
        QTest::newRow("a trailing comma")
            << "a," << false << P::Invalid << drops + QStringLiteral("an empty selector in the list");
        QTest::newRow("comments and escapes") << "a/* x */:hover, .\\31 0" << false << P::None << QString();
        QTest::newRow("vendor pseudo-element alone")
            << "input::-moz-placeholder" << false << P::None << QString();
        QTest::newRow("vendor pseudo-elements of one engine together")
            << "::-webkit-scrollbar, ::-webkit-scrollbar-thumb" << false << P::None << QString();
        QTest::newRow("vendor pseudo-element beside a standard one")
            << "input::-moz-placeholder, input::placeholder" << false << P::Vendor
            << QStringLiteral("browsers without ::-moz-placeholder drop this whole rule: give each vendor's "
                              "selectors a rule of their own");
        QTest::newRow("two vendors in one list")
            << "::-webkit-input-placeholder, :-ms-input-placeholder" << false << P::Vendor
            << QStringLiteral("browsers without ::-webkit-input-placeholder drop this whole rule: give each "
                              "vendor's selectors a rule of their own");
    }

    void check()
    {
        QFETCH(QString, selectors);
        QFETCH(bool, nested);
        QFETCH(SelectorCheck::Problem, problem);
        QFETCH(QString, reason);
        const SelectorCheck::Result result = m_check.check(selectors, nested);
        QCOMPARE(result.reason, reason);
        QCOMPARE(result.problem, problem);
    }
};

LW_TEST_CLASS(TestSelectorCheck)
#include "TestSelectorCheck.moc"
