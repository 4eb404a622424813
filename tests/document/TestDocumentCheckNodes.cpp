#include "CatalogueFixture.h"
#include "DocumentCheck.h"
#include "StyleSheetReader.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTest>

// The document's check beyond declarations, on standard sheets read as Open reads them:
// the order of statements, keyframe selectors, descriptors, and the hints. Findings are
// compared as "LINE:COLUMN kind" in file order; each row that must be marked stands
// beside a near one that must not.
class TestDocumentCheckNodes : public QObject
{
    Q_OBJECT

    CatalogueFixture m_fixture;
    DocumentCheck m_check;

    QStringList findingsOf(const QString &text, const DocumentCheck::Options &options)
    {
        Document document;
        m_fixture.start(document);
        StyleSheetReader::ReadError error;
        if (!StyleSheetReader::readText(document, m_fixture.catalogue, text, {}, &error))
            return {QStringLiteral("unreadable: ") + error.reason};
        std::vector<DocumentCheck::Finding> findings = m_check.checkDocument(document.elements(), options);
        std::stable_sort(findings.begin(), findings.end(), [](const auto &a, const auto &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        QStringList out;
        for (const DocumentCheck::Finding &finding : findings)
            out << QStringLiteral("%1:%2 %3")
                       .arg(finding.line)
                       .arg(finding.column)
                       .arg(QLatin1String(DeclarationCheck::kindName(finding.kind)));
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.open());
        m_check.open(TestEnvironment::programFolder());
    }

    void findings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hints");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("statements at the start")
            << "@charset \"utf-8\";\r\n@layer a;\r\n@import url(a.css);\r\n@namespace svg url(x);\r\na { "
               "color: red }"
            << false << QStringList();
        QTest::newRow("statements after a rule")
            << "a { color: red }\r\n@import url(a.css);\r\n@namespace svg url(x);\r\n@charset \"utf-8\";"
            << false
            << QStringList{QStringLiteral("2:1 ignored-statement"), QStringLiteral("3:1 ignored-statement"),
                           QStringLiteral("4:1 ignored-statement")};
        QTest::newRow("@import after @namespace") << "@namespace svg url(x);\r\n@import url(a.css);" << false
                                                  << QStringList{QStringLiteral("2:1 ignored-statement")};
        QTest::newRow("an unknown at-rule ends nothing")
            << "@foo;\r\n@import url(a.css);" << false << QStringList{QStringLiteral("1:1 unknown-at-rule")};
        QTest::newRow("@import inside a block") << "@media print {\r\n  @import url(a.css);\r\n}" << false
                                                << QStringList{QStringLiteral("2:3 ignored-statement")};
        // The name of the block decides, however it is written; "@-1-keyframes" is none.
        QTest::newRow("keyframes written otherwise")
            << "@-webkit-keyframes k { from { top: 0 !important } 150% { top: 0 } }\r\n"
               "@KEYFRAMES k2 { from { top: 0 !important } }\r\n"
               "@k\\65yframes k3 { from { top: 0 !important } }\r\n"
               "@media print { from { top: 0 !important } }\r\n"
               "@-1-keyframes k4 { from { top: 0 } }"
            << true
            << QStringList{QStringLiteral("1:31 important-in-keyframes"), QStringLiteral("1:51 selector"),
                           QStringLiteral("2:24 important-in-keyframes"),
                           QStringLiteral("3:26 important-in-keyframes"), QStringLiteral("5:1 selector")};
        QTest::newRow("keyframe selectors")
            << "@keyframes k {\r\n  from, 50% { top: 0 }\r\n  150% { top: 1px }\r\n  to { top: 2px }\r\n}"
            << false << QStringList{QStringLiteral("3:3 selector")};
        QTest::newRow("a selector and a nested rule")
            << "a:hovr { color: red }\r\n.n {\r\n  > b { top: 0 }\r\n  &:hovr { top: 0 }\r\n}" << false
            << QStringList{QStringLiteral("1:1 selector"), QStringLiteral("4:3 selector")};
        QTest::newRow("descriptors") << "@font-face {\r\n  font-family: x;\r\n  font-wieght: bold;\r\n}"
                                     << false << QStringList{QStringLiteral("3:3 descriptor")};
        QTest::newRow("@property without initial value")
            << "@property --a { syntax: '*'; inherits: false }\r\n@property --b { syntax: '<length>'; "
               "inherits: "
               "false }"
            << false << QStringList{QStringLiteral("2:1 prelude")};

        QTest::newRow("no hints unless asked")
            << ".e {}\r\n.a { padding-top: 0; padding: 1em }" << false << QStringList();
        QTest::newRow("shorthand after its longhand")
            << ".a { padding-top: 0; padding: 1em }\r\n.b { padding: 1em; padding-top: 0 }" << true
            << QStringList{QStringLiteral("1:6 shorthand-override")};
        QTest::newRow("same selector in one context, not across contexts")
            << ".a { top: 0 }\r\n@media print { .a { top: 1px } }\r\n.a { left: 0 }" << true
            << QStringList{QStringLiteral("3:1 duplicate-selector")};
        QTest::newRow("empty rule") << ".e {}\r\n.f { top: 0 }" << true
                                    << QStringList{QStringLiteral("1:1 empty-rule")};
        QTest::newRow("!important in keyframes, not in a rule")
            << "@keyframes k { from { top: 0 !important } }\r\n.a { top: 0 !important }" << true
            << QStringList{QStringLiteral("1:23 important-in-keyframes")};
        QTest::newRow("var() of a property the sheet never defines")
            << ":root { --known: 1px }\r\n.a { top: var(--known); left: var(--unknown); right: "
               "var(--unknown, 0) }"
            << true << QStringList{QStringLiteral("2:25 undefined-variable")};
        // Blanks, comments, capitals, a var() in a fallback, one in a string.
        QTest::newRow("var() written otherwise")
            << ":root { --known: 1px }\r\n.a { top: var( --known ); left: var(/* c */--unknown); right: "
               "VAR(--unknown); bottom: var(--known, var(--unknown)); content: \"var(--unknown)\"; width: "
               "var(--known,1px) }"
            << true
            << QStringList{QStringLiteral("2:27 undefined-variable"), QStringLiteral("2:56 undefined-variable"),
                           QStringLiteral("2:79 undefined-variable")};
        QTest::newRow("var() in a sheet without custom properties")
            << ".a { top: var(--x) }" << true << QStringList();
    }

    void findings()
    {
        QFETCH(QString, text);
        QFETCH(bool, hints);
        QFETCH(QStringList, expected);
        DocumentCheck::Options options;
        if (hints)
            options.hints = DocumentCheck::allHints();
        QCOMPARE(findingsOf(text, options), expected);
    }

    // Support marks over a sheet, with real Baseline data whose years never change: a
    // declaration, a selector and an at-rule beyond Baseline 2019 are marked, each where
    // it stands; under 2024 none is. A declaration a browser drops keeps that finding
    // alone, and one inside an @supports that asks for it is the author's guard.
    void supportMarks_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Baseline 2019")
            << 2019 << QStringList{"1:1 support", "2:6 support", "3:1 support", "6:18 support"};
        QTest::newRow("Baseline 2024") << 2024 << QStringList{"6:18 support"};
    }
    void supportMarks()
    {
        QFETCH(int, year);
        QFETCH(QStringList, expected);
        const QString sheet = QStringLiteral("a:has(img) { color: red }\n"          // :has(): 2023
                                             ".b { aspect-ratio: 1; color: red }\n" // aspect-ratio: 2021
                                             "@container (min-width: 1px) {}\n"     // @container: 2023
                                             ".c { aspect-ratio: 1 1 1 }\n"         // dropped: invalid only
                                             "@supports (aspect-ratio: 1) { .d { aspect-ratio: 1 } }\n"
                                             ".e { color: red; initial-letter: 2 }\n"); // never Baseline
        DocumentCheck::Options options;
        options.support = {SupportCheck::Target::Level::Year, year};
        QStringList found = findingsOf(sheet, options);
        found.removeAll(QStringLiteral("4:6 invalid"));
        QCOMPARE(found, expected);
        QVERIFY(findingsOf(sheet, DocumentCheck::Options()).filter(QStringLiteral("support")).isEmpty());
    }

    // The window's problems list checks a slice at a time: on a real sheet, a run of the
    // smallest slices (one top-level node a step) finds exactly what the whole check
    // finds, with every kind of finding, hint and support mark on.
    void slicedRunFindsTheSame()
    {
        QFile file(QStringLiteral(LW_TEST_DATA_DIR "/real/bootstrap.css"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        Document document;
        m_fixture.start(document);
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue,
                                           QString::fromUtf8(file.readAll()) +
                                               QStringLiteral("@import url(late.css);\n.x { margin-top: 0; "
                                                              "margin: 1px; color: var(--none) }\n.x {}\n")));
        DocumentCheck::Options options;
        options.hints = DocumentCheck::allHints();
        options.support = {SupportCheck::Target::Level::Widely, 0};
        const auto describe = [](const std::vector<DocumentCheck::Finding> &findings) {
            QStringList out;
            for (const DocumentCheck::Finding &f : findings)
                out << QStringLiteral("%1:%2 %3 %4")
                           .arg(f.line)
                           .arg(f.column)
                           .arg(QLatin1String(DeclarationCheck::kindName(f.kind)), f.reason);
            return out;
        };
        const QStringList whole = describe(m_check.checkDocument(document.elements(), options));
        DocumentCheck::Run run(m_check, document.elements(), options);
        int steps = 0;
        while (!run.step(0))
            ++steps;
        QVERIFY(run.done());
        QVERIFY2(steps > 100, qPrintable(QString::number(steps)));
        QCOMPARE(describe(run.takeFindings()), whole);
        for (const char *kind : {"support", "ignored-statement", "shorthand-override", "empty-rule",
                                 "duplicate-selector", "undefined-variable"})
            QVERIFY2(!whole.filter(QLatin1String(" ") + QLatin1String(kind) + QLatin1Char(' ')).isEmpty(),
                     kind);
    }

    // The window checks a node's declarations again after an edit: it must say what
    // the whole check says of a descriptor.
    void descriptorAfterEdit()
    {
        Document document;
        m_fixture.start(document);
        QVERIFY(
            StyleSheetReader::readText(document, m_fixture.catalogue,
                                       QStringLiteral("@font-face { font-family: x; font-wieght: bold }")));
        const ElementNode *fontFace = nullptr;
        for (const auto &node : document.elements().elements())
            if (node->kind == NodeKind::AtRule)
                fontFace = node.get();
        QVERIFY(fontFace);
        const DeclarationCheck::Finding finding = m_check.checkDeclaration(*fontFace, 1, document.form());
        QCOMPARE(finding.kind, DeclarationCheck::Kind::UnknownDescriptor);
        QVERIFY(!m_check.checkDeclaration(*fontFace, 0, document.form()));
    }
};

LW_TEST_CLASS(TestDocumentCheckNodes)
#include "TestDocumentCheckNodes.moc"
