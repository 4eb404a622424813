#include "DialogAnswerer.h"
#include "RegistryStore.h"
#include "TSplashForm.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString fatalText =
    QStringLiteral("This program has not been properly installed.\nPlease reinstall Loomwright 99");
const QString treeControlText = QStringLiteral(
    "This program has not been installed correctly.\nIt will still run, but the Sylvex feature "
    "will not function correctly as the required image files are missing.\nPlease re-install "
    "Loomwright 99.");

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray registryFile(const QByteArray &body)
{
    return "Windows Registry Editor Version 5.00\n" + body;
}

QByteArray templateKeyWith(const QByteArray &value)
{
    return registryFile("\n[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n\"Template\"=" + value +
                        "\n");
}

// Expects one message box and checks its caption, text, icon and its only button.
void expectBox(DialogAnswerer &answer, const QString &caption, const QString &text, QMessageBox::Icon icon)
{
    answer.on<QMessageBox>([=](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), caption);
        QCOMPARE(box->text(), text);
        QCOMPARE(box->icon(), icon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        DialogAnswerer::press(box, QMessageBox::Ok);
    });
}

} // namespace

class TestSplashForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_program;
    QString m_registry;
    QByteArray m_savedRegistry;
    QString m_startFolder;

    // A complete installation: the three tables and both support folders.
    void install()
    {
        QVERIFY(QDir().mkpath(m_program));
        for (const char *name : {"tags.db", "attributes.db", "css.db"})
            QVERIFY(writeAll(QDir(m_program).filePath(QLatin1String(name)), QByteArray()));
        for (const char *name : {"common code", "tree control"})
            QVERIFY(QDir(m_program).mkdir(QLatin1String(name)));
    }

    void removeFolder(const QString &name)
    {
        QVERIFY(QDir(QDir(m_program).filePath(name)).removeRecursively());
    }

    QString programPath() const
    {
        return QDir(m_program).filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    }

private slots:
    void init()
    {
        m_startFolder = QDir::currentPath();
        m_savedRegistry = qgetenv("LOOMWRIGHT_REGISTRY");
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_program = m_dir->filePath(QStringLiteral("program"));
        m_registry = m_dir->filePath(QStringLiteral("config/registry.reg"));
        qputenv("LOOMWRIGHT_REGISTRY", m_registry.toLocal8Bit());
        install();
    }

    void cleanup()
    {
        // The checks never make a tested folder the current one.
        QCOMPARE(QDir::currentPath(), m_startFolder);
        qputenv("LOOMWRIGHT_REGISTRY", m_savedRegistry);
        m_dir.reset();
    }

    void screenLayout()
    {
        QSvgRenderer picture(QStringLiteral(":/app/SplashPicture.svg"));
        QVERIFY(picture.isValid());
        QCOMPARE(picture.defaultSize(), QSize(462, 302));

        TSplashForm splash(m_program);
        QCOMPARE(splash.size(), QSize(462, 323));
        QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash.frameGeometry().center(),
                 QGuiApplication::primaryScreen()->availableGeometry().center());
        QCOMPARE(splash.Picture->geometry(), QRect(0, 0, 462, 302));
        // Drawn when shown: a screen that stays hidden holds no picture.
        QVERIFY(splash.Picture->pixmap().isNull());
        splash.show();
        const QImage shown = splash.Picture->pixmap().toImage();
        QCOMPARE(shown.size() / shown.devicePixelRatio(), QSize(462, 302));
        // The artwork was drawn, not just the black panel behind it.
        QVERIFY(shown.pixelColor(shown.width() - 20, 150) != QColor(Qt::black));
        QCOMPARE(splash.ProgressLabel->text(), QStringLiteral("Loading Settings"));
        QCOMPARE(splash.ProgressLabel->mapTo(&splash, QPoint(0, 0)), QPoint(4, 306));
        QCOMPARE(splash.ProgressBar->minimum(), 0);
        QCOMPARE(splash.ProgressBar->maximum(), 50);
        QCOMPARE(splash.ProgressBar->value(), 50);
        QCOMPARE(QRect(splash.ProgressBar->mapTo(&splash, QPoint(0, 0)), splash.ProgressBar->size()),
                 QRect(175, 307, 285, 13));

        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        splash.setProgress(QStringLiteral("Creating window"), 2);
        QCOMPARE(splash.ProgressLabel->text(), QStringLiteral("Creating window"));
        QCOMPARE(splash.ProgressBar->value(), 2);
    }

    void firstStartWritesSettingsOnce()
    {
        // The installation ships the marker in the defaults beside the program.
        QVERIFY(writeAll(QDir(m_program).filePath(QStringLiteral("registry-defaults.reg")),
                         templateKeyWith("\"CreateNewTemplate\"")));
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(800, 800));

        {
            DialogAnswerer answer;
            TSplashForm splash(m_program);
            QVERIFY(splash.ContinueStartup);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }

        const QStringList templateLines = {
            QStringLiteral("<html>"),
            QStringLiteral("<head>"),
            QStringLiteral("<meta name=\"generator\" content=\"loomwright 99\">"),
            QStringLiteral("<meta name=\"author\" content=\"tarnvale\">"),
            QStringLiteral("<meta name=\"keywords\" content=\"\">"),
            QStringLiteral("<meta name=\"description\" content=\"\">"),
            QStringLiteral("<title>Your Document Title</title>"),
            QStringLiteral("</head>"),
            QStringLiteral(
                "<body bgcolor=\"white\" text=\"black\" link=\"blue\" vlink=\"red\" alink=\"fuchsia\" "
                "background=\"\">"),
            QString(),
            QString(),
            QStringLiteral("Your Document Text"),
            QString(),
            QString(),
            QStringLiteral("</body>"),
            QStringLiteral("</html>"),
        };
        const QString html = templateLines.join(QStringLiteral("\r\n"));
        QCOMPARE(html.size(), 359);
        RegistryStore store(m_program);
        QCOMPARE(store
                     .openKey(RegistryStore::Root::CurrentUser,
                              QStringLiteral("\\Software\\Loomwright 99\\Template"))
                     .readString(QStringLiteral("Template")),
                 html);

        // Every value, its key, type and order, and nothing else.
        const QByteArray path = programPath().toUtf8();
        const QByteArray command = "\"\\\"" + path + "\\\" \\\"%1\\\"\"";
        QString storedHtml = html;
        storedHtml.replace(QStringLiteral("\""), QStringLiteral("\\\""))
            .replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n"));
        const QByteArray expected =
            registryFile("\n[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n"
                         "\"Template\"=\"" +
                         storedHtml.toUtf8() +
                         "\"\n"
                         "\n[HKEY_CLASSES_ROOT\\htmlfile\\shell\\Edit_in_Loomwright_99]\n"
                         "@=\"&Edit in Loomwright 99\"\n"
                         "\n[HKEY_CLASSES_ROOT\\htmlfile\\shell\\Edit_in_Loomwright_99\\command]\n"
                         "@=" +
                         command +
                         "\n"
                         "\n[HKEY_CLASSES_ROOT\\sitefile]\n"
                         "@=\"Web Site File\"\n"
                         "\n[HKEY_CLASSES_ROOT\\sitefile\\DefaultIcon]\n"
                         "@=\"" +
                         path +
                         ",3\"\n"
                         "\n[HKEY_CLASSES_ROOT\\sitefile\\shell\\Open\\command]\n"
                         "@=" +
                         command +
                         "\n"
                         "\n[HKEY_CLASSES_ROOT\\.sit]\n"
                         "@=\"sitefile\"\n"
                         "\"Content Type\"=\"text/plain\"\n"
                         "\n[HKEY_CLASSES_ROOT\\.site]\n"
                         "@=\"sitefile\"\n"
                         "\"Content Type\"=\"text/plain\"\n"
                         "\n[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Position]\n"
                         "\"Maximised\"=dword:00000001\n"
                         "\"Left\"=dword:00000000\n"
                         "\"Width\"=dword:00000320\n"
                         "\"Top\"=dword:00000000\n"
                         "\"Height\"=dword:00000320\n"
                         "\"IEHeight\"=dword:000000a0\n");
        const QByteArray afterFirst = readAll(m_registry);
        QCOMPARE(afterFirst, expected);

        {
            DialogAnswerer answer;
            TSplashForm second(m_program);
            QVERIFY(second.ContinueStartup);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(readAll(m_registry), afterFirst);
    }

    void otherStartsWriteNothing_data()
    {
        QTest::addColumn<QByteArray>("before"); // empty: no settings file yet
        QTest::addColumn<QByteArray>("after");
        const QByteArray emptyKey =
            registryFile("\n[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n");
        QTest::newRow("no settings at all") << QByteArray() << emptyKey;
        QTest::newRow("no Template value") << emptyKey << emptyKey;
        QTest::newRow("empty Template") << templateKeyWith("\"\"") << templateKeyWith("\"\"");
        QTest::newRow("a template already") << templateKeyWith("\"<html>\"") << templateKeyWith("\"<html>\"");
        QTest::newRow("marker in other case")
            << templateKeyWith("\"createnewtemplate\"") << templateKeyWith("\"createnewtemplate\"");
        QTest::newRow("marker with a blank")
            << templateKeyWith("\"CreateNewTemplate \"") << templateKeyWith("\"CreateNewTemplate \"");
        QTest::newRow("marker under another key")
            << registryFile(
                   "\n[HKEY_CURRENT_USER\\Software\\Loomwright 99]\n\"Template\"=\"CreateNewTemplate\"\n")
            << registryFile(
                   "\n[HKEY_CURRENT_USER\\Software\\Loomwright 99]\n\"Template\"=\"CreateNewTemplate\"\n"
                   "\n[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n");
    }

    void otherStartsWriteNothing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (!before.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(m_registry).absolutePath()));
            QVERIFY(writeAll(m_registry, before));
        }
        // The remaining checks still run: "common code" is made again.
        removeFolder(QStringLiteral("common code"));
        DialogAnswerer answer;
        TSplashForm splash(m_program);
        QVERIFY(splash.ContinueStartup);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(readAll(m_registry), after);
        QVERIFY(QFileInfo(QDir(m_program).filePath(QStringLiteral("Common Code"))).isDir());
    }

    void missingTableStopsStartup_data()
    {
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("tags.db") << QStringList{QStringLiteral("tags.db")};
        QTest::newRow("attributes.db") << QStringList{QStringLiteral("attributes.db")};
        QTest::newRow("css.db") << QStringList{QStringLiteral("css.db")};
        QTest::newRow("all three") << QStringList{QStringLiteral("tags.db"), QStringLiteral("attributes.db"),
                                                  QStringLiteral("css.db")};
        QTest::newRow("a folder named css.db") << QStringList{QStringLiteral("css.db/")};
    }

    void missingTableStopsStartup()
    {
        QFETCH(QStringList, missing);
        for (QString name : missing) {
            const bool asFolder = name.endsWith(QLatin1Char('/'));
            name.remove(QLatin1Char('/'));
            QVERIFY(QFile::remove(QDir(m_program).filePath(name)));
            if (asFolder)
                QVERIFY(QDir(m_program).mkdir(name));
        }
        // Nothing after the check runs: no folder is made and no warning comes.
        removeFolder(QStringLiteral("common code"));
        removeFolder(QStringLiteral("tree control"));

        DialogAnswerer answer;
        expectBox(answer, QStringLiteral("Fatal Error"), fatalText, QMessageBox::Critical);
        TSplashForm splash(m_program);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(answer.answered(), 1);
        QVERIFY(!splash.ContinueStartup);
        QVERIFY(!QFileInfo::exists(QDir(m_program).filePath(QStringLiteral("Common Code"))));
    }

    void supportFolders_data()
    {
        QTest::addColumn<QStringList>("remove");
        QTest::addColumn<QStringList>("add"); // a trailing "/" makes a folder, else a file
        QTest::addColumn<bool>("created");
        QTest::addColumn<bool>("warned");
        const QString common = QStringLiteral("common code");
        const QString tree = QStringLiteral("tree control");
        QTest::newRow("both present") << QStringList() << QStringList() << false << false;
        QTest::newRow("common code missing") << QStringList{common} << QStringList() << true << false;
        QTest::newRow("common code in capitals")
            << QStringList{common} << QStringList{QStringLiteral("COMMON CODE/")} << false << false;
        QTest::newRow("common code is a file")
            << QStringList{common} << QStringList{QStringLiteral("common code")} << true << false;
        QTest::newRow("Common Code cannot be made")
            << QStringList{common} << QStringList{QStringLiteral("Common Code")} << false << false;
        QTest::newRow("tree control missing") << QStringList{tree} << QStringList() << false << true;
        QTest::newRow("tree control in other case")
            << QStringList{tree} << QStringList{QStringLiteral("Tree Control/")} << false << false;
        QTest::newRow("tree control is a file")
            << QStringList{tree} << QStringList{QStringLiteral("tree control")} << false << true;
        QTest::newRow("both missing") << QStringList{common, tree} << QStringList() << true << true;
    }

    void supportFolders()
    {
        QFETCH(QStringList, remove);
        QFETCH(QStringList, add);
        QFETCH(bool, created);
        QFETCH(bool, warned);
        for (const QString &name : remove)
            removeFolder(name);
        for (QString name : add) {
            if (name.endsWith(QLatin1Char('/')))
                QVERIFY(QDir(m_program).mkdir(name.chopped(1)));
            else
                QVERIFY(writeAll(QDir(m_program).filePath(name), "x"));
        }
        const QStringList entriesBefore = QDir(m_program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        DialogAnswerer answer;
        if (warned)
            expectBox(answer, QStringLiteral("Loomwright 99"), treeControlText, QMessageBox::Warning);
        TSplashForm splash(m_program);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(answer.answered(), warned ? 1 : 0);
        QVERIFY(splash.ContinueStartup);

        QStringList entriesAfter = QDir(m_program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (created) {
            QVERIFY(QFileInfo(QDir(m_program).filePath(QStringLiteral("Common Code"))).isDir());
            entriesAfter.removeOne(QStringLiteral("Common Code"));
        }
        QCOMPARE(entriesAfter, entriesBefore);
    }

    // The hidden screen made later in the run repeats the work (a missing "common code"
    // is made again) but does not show again what the first screen showed.
    void laterScreenShowsNothingSeenBefore()
    {
        removeFolder(QStringLiteral("tree control"));
        QStringList shown;
        {
            DialogAnswerer answer;
            expectBox(answer, QStringLiteral("Loomwright 99"), treeControlText, QMessageBox::Warning);
            TSplashForm first(m_program);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            shown = first.shownMessages();
        }
        QCOMPARE(shown, QStringList{treeControlText});
        removeFolder(QStringLiteral("common code"));
        DialogAnswerer none;
        TSplashForm hidden(m_program, shown);
        QVERIFY2(none.done(), qPrintable(none.report()));
        QCOMPARE(none.answered(), 0);
        QVERIFY(hidden.ContinueStartup);
        QVERIFY(QFileInfo(QDir(m_program).filePath(QStringLiteral("Common Code"))).isDir());
        QCOMPARE(hidden.shownMessages(), shown);
    }

    void settingsFailureSkipsTheRest_data()
    {
        QTest::addColumn<QByteArray>("settings"); // written to the settings file, or to the defaults when
        QTest::addColumn<bool>("unwritable");     // the settings file cannot be written
        QTest::addColumn<QString>("message");
        QTest::newRow("Template is a number")
            << templateKeyWith("dword:00000001") << false
            << QStringLiteral(
                   "The value \"Template\" of the key HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template "
                   "is not a string.");
        QTest::newRow("settings file damaged")
            << registryFile("\n\"Template\"=\"CreateNewTemplate\"\n") << false
            << QStringLiteral("The settings file %REGISTRY% cannot be read at line 3:");
        QTest::newRow("first-start writes fail")
            << templateKeyWith("\"CreateNewTemplate\"") << true
            << QStringLiteral("Cannot write the settings file %REGISTRY%:");
    }

    void settingsFailureSkipsTheRest()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, unwritable);
        QFETCH(QString, message);
        QString settingsFile = m_registry;
        if (unwritable) {
            // The marker comes with the defaults, and the settings folder would have to
            // be made inside a plain file: the first write under the classes root fails.
            QVERIFY(writeAll(QDir(m_program).filePath(QStringLiteral("registry-defaults.reg")), settings));
            const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
            QVERIFY(writeAll(blocker, "x"));
            settingsFile = blocker + QStringLiteral("/registry.reg");
            qputenv("LOOMWRIGHT_REGISTRY", settingsFile.toLocal8Bit());
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(m_registry).absolutePath()));
            QVERIFY(writeAll(m_registry, settings));
        }
        message.replace(QStringLiteral("%REGISTRY%"), settingsFile);
        removeFolder(QStringLiteral("common code"));
        removeFolder(QStringLiteral("tree control"));
        const QStringList entriesBefore = QDir(m_program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QGuiApplication::applicationDisplayName());
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QVERIFY2(box->text().startsWith(message), qPrintable(box->text()));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        TSplashForm splash(m_program);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(answer.answered(), 1);
        QVERIFY(splash.ContinueStartup);
        // The later steps were skipped, and no setting was written anywhere.
        QCOMPARE(QDir(m_program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entriesBefore);
        QCOMPARE(readAll(unwritable ? QDir(m_program).filePath(QStringLiteral("registry-defaults.reg"))
                                    : m_registry),
                 settings);
    }
};

LW_TEST_CLASS(TestSplashForm)
#include "TestSplashForm.moc"
