#include "SupportCheck.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QTest>

using Target = SupportCheck::Target;
Q_DECLARE_METATYPE(SupportCheck::Target)

// The support check: a part of CSS outside the chosen Baseline target is named with the
// browsers that lack it; beside each one that must be marked stands one like it that must
// not. The statuses come from a small fixture (the logic), then from the real syntax.db
// for facts that no later data can change: what became Baseline in a year stays so.
class TestSupportCheck : public QObject
{
    Q_OBJECT

    SupportCheck m_fixture;
    SupportCheck m_real;

    static Target widely() { return {Target::Level::Widely, 0}; }
    static Target newly() { return {Target::Level::Newly, 0}; }
    static Target year(int y) { return {Target::Level::Year, y}; }

private slots:
    void initTestCase()
    {
        m_fixture.addRow(u"property display", u"widely 2015-07-29 2018-01-29");
        m_fixture.addRow(u"property gap", u"widely 2017-10-17 2020-04-17");
        m_fixture.addRow(u"property field-sizing", u"newly 2024-06-16 -");
        m_fixture.addRow(u"property initial-letter",
                         u"limited - - firefox firefox_android safari safari_ios");
        m_fixture.addRow(u"value width stretch", u"limited - - firefox firefox_android");
        m_fixture.addRow(u"value display grid", u"widely 2017-10-17 2020-04-17");
        m_fixture.addRow(u"value grid-template-columns subgrid", u"newly 2023-09-15 -");
        m_fixture.addRow(u"selector hover", u"widely 2015-07-29 2018-01-29");
        m_fixture.addRow(u"selector has", u"newly 2023-12-19 -");
        m_fixture.addRow(u"selector before", u"widely 2015-07-29 2018-01-29");
        m_fixture.addRow(u"selector target-text", u"limited - - safari_ios");
        m_fixture.addRow(u"at-rule container", u"widely 2023-02-14 2025-08-14");
        m_fixture.addRow(u"at-rule scope", u"limited - - firefox firefox_android");
        m_fixture.addRow(u"at-rule media", u"widely 2015-07-29 2018-01-29");
        m_fixture.addRow(u"property clip", u"discouraged - -");
        m_fixture.addRow(u"broken row", u"widely");       // left out: too few fields
        m_fixture.addRow(u"property zoom", u"maybe - -"); // left out: no such status
        m_real.open(QDir(TestEnvironment::programFolder()).filePath(QStringLiteral("syntax.db")));
        QVERIFY(!m_real.isEmpty());
    }

    void targets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("key");
        QTest::newRow("widely") << "widely" << true << "widely";
        QTest::newRow("newly, any case") << "Newly" << true << "newly";
        QTest::newRow("a year") << "2020" << true << "2020";
        QTest::newRow("before Baseline began") << "2014" << false << QString();
        QTest::newRow("not a year") << "20x0" << false << QString();
        QTest::newRow("two digits") << "20" << false << QString();
        QTest::newRow("empty") << "" << false << QString();
    }
    void targets()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, key);
        const std::optional<Target> target = Target::parse(text);
        QCOMPARE(bool(target), valid);
        if (target)
            QCOMPARE(target->key(), key);
    }

    void declarations_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<Target>("target");
        QTest::addColumn<QString>("reason"); // exact; empty: not marked
        const QString wide = QStringLiteral("outside the support target (Baseline widely available): ");

        QTest::newRow("widely available property") << "display"
                                                   << "block" << widely() << QString();
        QTest::newRow("limited property, with the browsers that lack it")
            << "initial-letter"
            << "2" << newly()
            << "outside the support target (Baseline newly available): initial-letter is not in Firefox, "
               "Safari";
        QTest::newRow("newly available property under widely")
            << "field-sizing"
            << "content" << widely() << wide + "field-sizing is newly available since 2024";
        QTest::newRow("newly available property under newly") << "field-sizing"
                                                              << "content" << newly() << QString();
        QTest::newRow("limited value keyword")
            << "width"
            << "stretch" << widely() << wide + "stretch in width is not in Firefox";
        QTest::newRow("the same property with a plain length") << "width"
                                                               << "10px" << widely() << QString();
        QTest::newRow("keyword in capitals, property too")
            << "WIDTH"
            << "Stretch" << widely() << wide + "stretch in width is not in Firefox";
        QTest::newRow("value keyword under a year before it")
            << "display"
            << "grid" << year(2016)
            << "outside the support target (Baseline 2016): grid in display is Baseline since 2017";
        QTest::newRow("value keyword under its own year") << "display"
                                                          << "grid" << year(2017) << QString();
        QTest::newRow("a function name of a value")
            << "grid-template-columns"
            << "subgrid [a] [b]" << widely()
            << wide + "subgrid in grid-template-columns is newly available since 2023";
        QTest::newRow("a discouraged property, which every browser has")
            << "clip"
            << "auto" << year(2030) << "outside the support target (Baseline 2030): clip is discouraged";
        QTest::newRow("a vendor-prefixed property is each engine's own") << "-webkit-initial-letter"
                                                                         << "2" << widely() << QString();
        QTest::newRow("a property the data says nothing of") << "zoom"
                                                             << "2" << widely() << QString();
        QTest::newRow("no target") << "initial-letter"
                                   << "2" << Target() << QString();
    }
    void declarations()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(Target, target);
        QFETCH(QString, reason);
        QCOMPARE(m_fixture.checkDeclaration(name, value, target), reason);
    }

    void nodes_data()
    {
        QTest::addColumn<bool>("atRule");
        QTest::addColumn<QString>("text"); // a selector list or an at-rule's name
        QTest::addColumn<Target>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("widely available pseudo-class")
            << false << "a:hover, p::before" << widely() << QString();
        QTest::newRow("newly available functional pseudo-class")
            << false << "main:has(> img), a:hover" << widely()
            << "outside the support target (Baseline widely available): :has() is newly available since 2023";
        QTest::newRow("the same under a later year") << false << "main:has(> img)" << year(2024) << QString();
        QTest::newRow("a pseudo-element missing from one mobile browser")
            << false << "p::target-text" << newly()
            << "outside the support target (Baseline newly available): ::target-text is not in Safari on iOS";
        QTest::newRow("a vendor pseudo-element")
            << false << "input::-webkit-target-text" << widely() << QString();
        QTest::newRow("no pseudo at all") << false << ".a > b" << widely() << QString();
        QTest::newRow("at-rule Baseline later than the year")
            << true << "container" << year(2019)
            << "outside the support target (Baseline 2019): @container is Baseline since 2023";
        QTest::newRow("at-rule Baseline by the year") << true << "container" << year(2024) << QString();
        QTest::newRow("limited at-rule") << true << "scope" << widely()
                                         << "outside the support target (Baseline widely available): @scope "
                                            "is not in Firefox";
        QTest::newRow("old at-rule") << true << "media" << year(2015) << QString();
    }
    void nodes()
    {
        QFETCH(bool, atRule);
        QFETCH(QString, text);
        QFETCH(Target, target);
        QFETCH(QString, reason);
        QCOMPARE(atRule ? m_fixture.checkAtRule(text, target) : m_fixture.checkSelector(text, target),
                 reason);
    }

    // The tooltip's words: the part with the least support, named when it is a value.
    void notes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("note");
        QTest::newRow("widely") << "gap"
                                << "1em"
                                << "Baseline: widely available since 2020";
        QTest::newRow("newly") << "field-sizing"
                               << "content"
                               << "Baseline: newly available since 2024";
        QTest::newRow("limited") << "initial-letter"
                                 << "2"
                                 << "Limited availability: not in Firefox, Safari";
        QTest::newRow("a value keyword weaker than its property")
            << "display"
            << "grid"
            << "Baseline: widely available since 2020 (grid)";
        QTest::newRow("limited value") << "width"
                                       << "stretch"
                                       << "Limited availability: not in Firefox (stretch)";
        QTest::newRow("discouraged") << "clip"
                                     << "auto"
                                     << "Not Baseline: discouraged";
        QTest::newRow("nothing known") << "zoom"
                                       << "2" << QString();
    }
    void notes()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, note);
        QCOMPARE(m_fixture.note(name, value), note);
    }

    // The table the build makes from web-features: dates that stay as they are.
    void realTable()
    {
        const Target y2019 = year(2019);
        const Target y2024 = year(2024);
        QCOMPARE(m_real.note(u"color", u"red"), QStringLiteral("Baseline: widely available since 2018"));
        QVERIFY(m_real.checkDeclaration(u"color", u"red", widely()).isEmpty());
        QCOMPARE(
            m_real.checkAtRule(u"container", y2019),
            QStringLiteral("outside the support target (Baseline 2019): @container is Baseline since 2023"));
        QVERIFY(m_real.checkAtRule(u"container", y2024).isEmpty());
        QCOMPARE(m_real.checkSelector(u"a:has(img)", y2019),
                 QStringLiteral("outside the support target (Baseline 2019): :has() is Baseline since 2023"));
        QVERIFY(m_real.checkSelector(u"a:has(img)", y2024).isEmpty());
        QVERIFY(!m_real.checkDeclaration(u"aspect-ratio", u"1", y2019).isEmpty());
        QVERIFY(m_real.checkDeclaration(u"aspect-ratio", u"1", y2024).isEmpty());
    }
};

LW_TEST_CLASS(TestSupportCheck)
#include "TestSupportCheck.moc"
