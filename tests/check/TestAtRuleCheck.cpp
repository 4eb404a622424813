#include "AtRuleCheck.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(AtRuleCheck::Problem)

// The at-rule check against the real syntax.db: names, preludes, descriptors. Each row
// that must be marked stands beside one like it that must not.
class TestAtRuleCheck : public QObject
{
    Q_OBJECT

    SelectorCheck m_selectors;
    AtRuleCheck m_check{m_selectors};

private slots:
    void initTestCase()
    {
        const QString path = QDir(TestEnvironment::programFolder()).filePath(QStringLiteral("syntax.db"));
        m_selectors.open(path);
        m_check.open(path);
        QVERIFY(m_check.hasDescriptors(QStringLiteral("font-face")));
    }

    void atRule_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("statement");
        QTest::addColumn<AtRuleCheck::Problem>("problem");
        QTest::addColumn<QString>("reason"); // exact; empty for none
        using P = AtRuleCheck::Problem;
        const QString drops = QStringLiteral("a browser drops this whole rule: ");
        const QString never = QStringLiteral("a browser never applies this query: ");

        QTest::newRow("@media") << "@media screen" << false << P::None << QString();
        QTest::newRow("mistyped at-rule")
            << "@medai screen" << false << P::UnknownAtRule
            << drops + QStringLiteral("unknown at-rule @medai (did you mean @media?)");
        QTest::newRow("unknown at-rule statement")
            << "@foo" << true << P::UnknownAtRule << drops + QStringLiteral("unknown at-rule @foo");
        QTest::newRow("vendor at-rule") << "@-webkit-keyframes spin" << false << P::None << QString();
        QTest::newRow("block at-rule as a statement")
            << "@media print" << true << P::InvalidPrelude << drops + QStringLiteral("@media needs a block");

        QTest::newRow("media queries")
            << "@media only screen and (max-width: 100px), print and (orientation: landscape), not all and "
               "(monochrome), (400px <= width <= 700px), (min-aspect-ratio: 16/9), (min-resolution: 2dppx), "
               "(-webkit-min-device-pixel-ratio: 2), (max-width: 0), (width: calc(10em + 1px))"
            << false << P::None << QString();
        QTest::newRow("mistyped media feature")
            << "@media (min-widht: 300px)" << false << P::InvalidPrelude
            << never + QStringLiteral("unknown media feature min-widht (did you mean min-width?)");
        QTest::newRow("and glued to (")
            << "@media screen and(max-width: 100px)" << false << P::InvalidPrelude
            << never + QStringLiteral("\"and\" must be followed by a blank before \"(\"");
        QTest::newRow("length without unit")
            << "@media (max-width: 100)" << false << P::InvalidPrelude
            << never + QStringLiteral("invalid value in (max-width: 100): a length with its unit expected");
        QTest::newRow("keyword outside the feature's list")
            << "@media (prefers-color-scheme: blue)" << false << P::InvalidPrelude
            << never + QStringLiteral(
                           "invalid value in (prefers-color-scheme: blue): one of light, dark expected");
        QTest::newRow("min- on a feature without range")
            << "@media (min-orientation: portrait)" << false << P::InvalidPrelude
            << never + QStringLiteral("orientation takes no min- or max-");
        QTest::newRow("keyword feature compared")
            << "@media (orientation > portrait)" << false << P::InvalidPrelude
            << never + QStringLiteral("orientation cannot be compared");
        QTest::newRow("an empty query in a list") << "@media screen, , print" << false << P::InvalidPrelude
                                                  << never + QStringLiteral("an empty media query");

        QTest::newRow("@supports") << "@supports (display: grid) and (not (display: inline-grid))" << false
                                   << P::None << QString();
        QTest::newRow("@supports with functions and general enclosed")
            << "@supports selector(:has(a)) or font-tech(color-COLRv1) or (x: y) or (foo bar)" << false
            << P::None << QString();
        QTest::newRow("@supports mixing and and or")
            << "@supports (a: b) and (c: d) or (e: f)" << false << P::InvalidPrelude
            << drops + QStringLiteral("@supports condition: \"and\" and \"or\" mixed without parentheses");
        QTest::newRow("@supports without parentheses")
            << "@supports display: grid" << false << P::InvalidPrelude
            << drops + QStringLiteral("@supports condition: \"(\" expected instead of \"display\"");
        QTest::newRow("@supports not without blank") << "@supports not(display: grid)" << false << P::None
                                                     << QString(); // a function: general enclosed

        QTest::newRow("@container") << "@container sidebar (min-width: 400px)" << false << P::None
                                    << QString();
        QTest::newRow("@container named none")
            << "@container none (min-width: 400px)" << false << P::InvalidPrelude
            << drops + QStringLiteral("@container container name cannot be none");

        QTest::newRow("@layer block") << "@layer base" << false << P::None << QString();
        QTest::newRow("@layer statement") << "@layer a.b, c" << true << P::None << QString();
        QTest::newRow("@layer names without comma")
            << "@layer a b" << true << P::InvalidPrelude
            << drops + QStringLiteral("@layer layer names must be separated by commas");
        QTest::newRow("@layer block with a list")
            << "@layer a, b" << false << P::InvalidPrelude
            << drops + QStringLiteral("@layer block takes one layer name");

        QTest::newRow("@import with layer, supports and media")
            << "@import url(a.css) layer(base) supports(display: grid) screen and (min-width: 10em)" << true
            << P::None << QString();
        QTest::newRow("@import with a string") << "@import \"a.css\"" << true << P::None << QString();
        QTest::newRow("@import without address")
            << "@import screen" << true << P::InvalidPrelude
            << drops + QStringLiteral("@import needs a URL or a string first");
        QTest::newRow("@import media that never apply")
            << "@import url(a.css) (min-widht: 1px)" << true << P::InvalidPrelude
            << never + QStringLiteral("unknown media feature min-widht (did you mean min-width?)");

        QTest::newRow("@property") << "@property --x" << false << P::None << QString();
        QTest::newRow("@property without dashes")
            << "@property x" << false << P::InvalidPrelude
            << drops + QStringLiteral("@property needs one name that begins with --");
        QTest::newRow("@keyframes") << "@keyframes spin" << false << P::None << QString();
        QTest::newRow("@keyframes none") << "@keyframes none" << false << P::InvalidPrelude
                                         << drops + QStringLiteral("@keyframes cannot be named none");
        QTest::newRow("@font-face") << "@font-face" << false << P::None << QString();
        QTest::newRow("@font-face with a prelude") << "@font-face x" << false << P::InvalidPrelude
                                                   << drops + QStringLiteral("@font-face takes no prelude");
        QTest::newRow("@namespace") << "@namespace svg url(http://www.w3.org/2000/svg)" << true << P::None
                                    << QString();
    }

    void atRule()
    {
        QFETCH(QString, label);
        QFETCH(bool, statement);
        QFETCH(AtRuleCheck::Problem, problem);
        QFETCH(QString, reason);
        const AtRuleCheck::Result result = m_check.checkAtRule(label, statement);
        QCOMPARE(result.reason, reason);
        QCOMPARE(result.problem, problem);
    }

    void descriptor_data()
    {
        QTest::addColumn<QString>("atRule");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // empty: known

        QTest::newRow("font-face font-weight") << "font-face"
                                               << "font-weight" << QString();
        QTest::newRow("font-face mistyped")
            << "font-face"
            << "font-wieght"
            << QStringLiteral("unknown descriptor font-wieght in @font-face (did you mean font-weight?)");
        QTest::newRow("font-face vendor") << "font-face"
                                          << "-moz-font-feature-settings" << QString();
        QTest::newRow("counter-style system") << "counter-style"
                                              << "system" << QString();
        QTest::newRow("counter-style property name")
            << "counter-style"
            << "color" << QStringLiteral("unknown descriptor color in @counter-style");
        QTest::newRow("property inherits") << "property"
                                           << "inherits" << QString();
        QTest::newRow("an at-rule whose descriptors are unknown") << "font-feature-values"
                                                                  << "anything" << QString();
    }

    void descriptor()
    {
        QFETCH(QString, atRule);
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QCOMPARE(m_check.checkDescriptor(atRule, name).reason, reason);
    }

    void required_data()
    {
        QTest::addColumn<QStringList>("descriptors"); // name=value
        QTest::addColumn<QString>("reason");
        const QString drops = QStringLiteral("a browser drops this whole rule: ");
        QTest::newRow("complete") << QStringList{QStringLiteral("syntax='<length>'"),
                                                 QStringLiteral("inherits=false"),
                                                 QStringLiteral("initial-value=0px")}
                                  << QString();
        QTest::newRow("any syntax needs no initial value")
            << QStringList{QStringLiteral("syntax=\"*\""), QStringLiteral("inherits=true")} << QString();
        QTest::newRow("no initial value")
            << QStringList{QStringLiteral("syntax='<length>'"), QStringLiteral("inherits=false")}
            << drops + QStringLiteral("@property with syntax '<length>' needs initial-value");
        QTest::newRow("no inherits") << QStringList{QStringLiteral("syntax='*'")}
                                     << drops + QStringLiteral("@property needs inherits");
        QTest::newRow("no syntax") << QStringList{QStringLiteral("inherits=false")}
                                   << drops + QStringLiteral("@property needs syntax");
    }

    void required()
    {
        QFETCH(QStringList, descriptors);
        QFETCH(QString, reason);
        std::vector<std::pair<QString, QString>> pairs;
        for (const QString &d : descriptors)
            pairs.emplace_back(d.section(u'=', 0, 0), d.section(u'=', 1));
        QCOMPARE(m_check.checkRequired(QStringLiteral("property"), pairs).reason, reason);
    }
};

LW_TEST_CLASS(TestAtRuleCheck)
#include "TestAtRuleCheck.moc"
