#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "RegistryStore.h"
#include "StyleSheetWriter.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"
#include "WidgetColors.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <memory>

using namespace EditorFixture;

namespace {

const QString TitlePrefix = QStringLiteral("Loomwright CSS - ");

// Points the stored settings at a file of the test's own while it lives.
class OwnRegistry
{
public:
    OwnRegistry() : m_saved(qgetenv("LOOMWRIGHT_REGISTRY"))
    {
        qputenv("LOOMWRIGHT_REGISTRY", path().toLocal8Bit());
    }
    ~OwnRegistry() { qputenv("LOOMWRIGHT_REGISTRY", m_saved); }
    OwnRegistry(const OwnRegistry &) = delete;
    OwnRegistry &operator=(const OwnRegistry &) = delete;

    QString path() const { return m_dir.filePath(QStringLiteral("registry.reg")); }
    // Writes the Position key with these lines ("name"=...) as its values.
    void writePosition(const QByteArray &values) const
    {
        writeFile(path(), "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Position]\r\n" +
                              values);
    }
    QVariant position(const QString &name) const
    {
        RegistryStore store;
        return store
            .openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\Loomwright 99\\Position"))
            .value(name);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// The labels of the element nodes the tree shows, in order.
QStringList shownElements(TMainForm &form)
{
    QStringList labels;
    const StyleSheetModel &model = form.document().elements();
    const QModelIndex root = model.rootIndex();
    for (int row = 0; row < model.rowCount(root); ++row)
        if (!form.Elements->isRowHidden(row, root))
            labels << model.index(row, 0, root).data().toString();
    return labels;
}

// Lets the window finish its layout after a change of size.
void settle(QWidget &window)
{
    QCoreApplication::sendPostedEvents();
    window.layout()->activate();
    QCoreApplication::processEvents();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // The window stands where the Position key says, kept within the screen's free area
    // (offscreen: 800 x 800).
    void placementIsReadAtStart_data()
    {
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<QRect>("geometry"); // the frame's corner and the client size
        QTest::addColumn<bool>("maximised");
        QTest::addColumn<int>("splitter"); // -1: not stored

        const QRect screen = available();
        QTest::newRow("stored by an earlier run")
            << QByteArray(
                   "\"Maximised\"=dword:00000000\r\n\"Left\"=dword:0000001e\r\n\"Top\"=dword:00000028\r\n"
                   "\"Width\"=dword:00000258\r\n\"Height\"=dword:000001f4\r\n\"Splitter\"=dword:0000012c\r\n")
            << QRect(30, 40, 600, 500) << false << 300;
        // No values: the first-start size, 1000 x 700, no larger than the free area,
        // in its centre.
        const QSize first = QSize(1000, 700).boundedTo(screen.size());
        QRect centred(QPoint(), first);
        centred.moveCenter(screen.center());
        QTest::newRow("nothing stored") << QByteArray() << centred << false << -1;
        QTest::newRow("a screen that has gone")
            << QByteArray("\"Left\"=dword:00001388\r\n\"Top\"=dword:fffffed4\r\n"
                          "\"Width\"=dword:00000258\r\n\"Height\"=dword:000001f4\r\n")
            << QRect(screen.right() + 1 - 600, screen.top(), 600, 500) << false << -1;
        QTest::newRow("larger than the screen")
            << QByteArray("\"Left\"=dword:00000000\r\n\"Top\"=dword:00000000\r\n"
                          "\"Width\"=dword:000007d0\r\n\"Height\"=dword:000005dc\r\n")
            << screen << false << -1;
        QTest::newRow("a value that is no number")
            << QByteArray("\"Left\"=dword:00000000\r\n\"Top\"=dword:00000000\r\n"
                          "\"Width\"=\"wide\"\r\n\"Height\"=dword:00000190\r\n")
            << QRect(screen.topLeft(), first) << false << -1;
        // What the first start writes: maximised over the whole screen.
        QTest::newRow("the first start's defaults")
            << QByteArray(
                   "\"Maximised\"=dword:00000001\r\n\"Left\"=dword:00000000\r\n\"Width\"=dword:00000320\r\n"
                   "\"Top\"=dword:00000000\r\n\"Height\"=dword:00000320\r\n\"IEHeight\"=dword:000000a0\r\n")
            << screen << true << -1;
    }

    void placementIsReadAtStart()
    {
        QFETCH(QByteArray, values);
        QFETCH(QRect, geometry);
        QFETCH(bool, maximised);
        QFETCH(int, splitter);
        const OwnRegistry registry;
        registry.writePosition(values);
        const auto form = startMainWindow();
        QVERIFY(form);
        settle(*form);
        QCOMPARE(form->isMaximized(), maximised);
        if (maximised) {
            QCOMPARE(form->frameGeometry(), geometry);
        } else {
            QCOMPARE(form->pos(), geometry.topLeft());
            QCOMPARE(form->size(), geometry.size());
        }
        if (splitter >= 0)
            QCOMPARE(form->Splitter1->sizes().value(0), splitter);
    }

    // Closing stores where the window stands; the next start puts it there again.
    void placementIsStoredOnClose()
    {
        const OwnRegistry registry;
        QRect geometry;
        int splitter = 0;
        {
            const auto form = startMainWindow();
            QVERIFY(form);
            form->resize(640, 480);
            form->move(50, 60);
            settle(*form);
            const QList<int> sizes = form->Splitter1->sizes();
            form->Splitter1->setSizes({180, sizes.value(0) + sizes.value(1) - 180});
            splitter = form->Splitter1->sizes().value(0);
            QCOMPARE(splitter, 180);
            geometry = QRect(form->pos(), form->size());
            form->CloseClick();
            QVERIFY(!form->isVisible());
        }
        QCOMPARE(registry.position(QStringLiteral("Left")), QVariant(quint32(50)));
        QCOMPARE(registry.position(QStringLiteral("Top")), QVariant(quint32(60)));
        QCOMPARE(registry.position(QStringLiteral("Width")), QVariant(quint32(640)));
        QCOMPARE(registry.position(QStringLiteral("Height")), QVariant(quint32(480)));
        QCOMPARE(registry.position(QStringLiteral("Maximised")), QVariant(quint32(0)));
        QCOMPARE(registry.position(QStringLiteral("Splitter")), QVariant(quint32(180)));

        const auto again = startMainWindow();
        QVERIFY(again);
        settle(*again);
        QCOMPARE(QRect(again->pos(), again->size()), geometry);
        QCOMPARE(again->Splitter1->sizes().value(0), splitter);

        // Maximised, it keeps the size it had before for when it is restored.
        again->showMaximized();
        QTRY_VERIFY(again->isMaximized());
        again->CloseClick();
        QCOMPARE(registry.position(QStringLiteral("Maximised")), QVariant(quint32(1)));
        QCOMPARE(registry.position(QStringLiteral("Width")), QVariant(quint32(640)));
        QCOMPARE(registry.position(QStringLiteral("Height")), QVariant(quint32(480)));
    }

    // A wider window widens both trees; the value editors keep their width.
    void bothTreesTakeTheExtraWidth()
    {
        const OwnRegistry registry;
        const auto form = startMainWindow();
        QVERIFY(form);
        form->resize(600, 400);
        settle(*form);
        const QWidget *group = form->findChild<QGroupBox *>();
        QVERIFY(group);
        const int elements = form->Elements->width();
        const int properties = form->Properties->width();
        const int editors = group->width();

        form->resize(800, 500);
        settle(*form);
        QCOMPARE(group->width(), editors);
        const int grownElements = form->Elements->width() - elements;
        const int grownProperties = form->Properties->width() - properties;
        QCOMPARE(grownElements + grownProperties, 200);
        // Shared about evenly (the splitter rounds).
        QVERIFY2(grownElements >= 80 && grownProperties >= 80,
                 qPrintable(QStringLiteral("%1 / %2").arg(grownElements).arg(grownProperties)));
    }

    void titleShowsTheModifiedFlag()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "BODY {color=red;}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), TitlePrefix + path);

        // An edit by the user (a command of the tree's menu) marks the title at once.
        form->NewElement1Click();
        QCOMPARE(form->windowTitle(), TitlePrefix + QLatin1Char('*') + path);
        form->document().setModified(false);
        QCOMPARE(form->windowTitle(), TitlePrefix + path);

        form->StandardCss1->trigger();
        QCOMPARE(form->windowTitle(), TitlePrefix + QLatin1Char('*') + path);

        // New gives a clean, nameless document.
        DialogAnswerer answer;
        answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
        form->NewClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        editDocument(*form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
    }

    // Each key runs its command: the dialog that command shows appears.
    void keysRunTheFileCommands_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("command");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("Ctrl+O: Open") << int(Qt::Key_O) << ctrl << QStringLiteral("open");
        QTest::newRow("Ctrl+S: Save (no file yet)") << int(Qt::Key_S) << ctrl << QStringLiteral("save");
        QTest::newRow("Ctrl+Shift+S: Save As")
            << int(Qt::Key_S) << int(ctrl | Qt::ShiftModifier) << QStringLiteral("save as");
        QTest::newRow("Ctrl+E: Edit Code") << int(Qt::Key_E) << ctrl << QStringLiteral("code");
        QTest::newRow("Ctrl+N: New") << int(Qt::Key_N) << ctrl << QStringLiteral("new");
        QTest::newRow("Ctrl+Q: Close") << int(Qt::Key_Q) << ctrl << QStringLiteral("close");
    }

    void keysRunTheFileCommands()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, command);
        const OwnRegistry registry;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "BODY {color=red;}");
        // Save As asks for a name although the document has a file.
        const auto form = startMainWindow(command == QLatin1String("save as") ? path : QString());
        QVERIFY(form);
        if (command == QLatin1String("new"))
            editDocument(*form);
        form->Elements->setFocus();

        DialogAnswerer answer;
        if (command == QLatin1String("open") || command.startsWith(QLatin1String("save"))) {
            const QString title = command == QLatin1String("open") ? QStringLiteral("Open Style Sheet")
                                                                   : QStringLiteral("Save Style Sheet");
            answer.on<QFileDialog>([title](QFileDialog *dialog) {
                QCOMPARE(dialog->windowTitle(), title);
                DialogAnswerer::cancel(dialog);
            });
        } else if (command == QLatin1String("code")) {
            answer.on<TCodeForm>([](TCodeForm *code) { code->CloseClick(); });
        } else if (command == QLatin1String("new")) {
            answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
        }
        QTest::keyClick(form->Elements, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(answer.answered(), command == QLatin1String("close") ? 0 : 1);
        if (command == QLatin1String("new"))
            QVERIFY(StyleSheetWriter::styleSheetText(form->document()).isEmpty());
        QCOMPARE(form->isVisible(), command != QLatin1String("close"));
    }

    // The buttons keep their order and Alt letters; Save As stands beside Save.
    void saveAsButton()
    {
        TMainForm form;
        QCOMPARE(form.SaveAs->text(), QStringLiteral("Save &As..."));
        QCOMPARE(form.SaveAs->y(), form.Finish->y());
        QVERIFY(form.SaveAs->x() > form.Finish->x() + form.Finish->width());
        QVERIFY(form.Code->x() > form.SaveAs->x() + form.SaveAs->width());
        QVERIFY(form.SaveAs->focusPolicy() & Qt::TabFocus);
    }

    // With Show Unused Elements off, exactly the catalogue and pseudo-class nodes that
    // hold no declaration are hidden; the tree follows every change.
    void unusedElementsCanBeHidden()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "BODY {color=red;}\r\nH1 {}\r\n.empty {}\r\n.note {margin=1;}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QList<QAction *> items = form->ElementsPopup->actions();
        QCOMPARE(items.last(), form->ShowUnusedElements1);
        QCOMPARE(form->ShowUnusedElements1->text(), QStringLiteral("Sho&w Unused Elements"));
        QVERIFY(form->ShowUnusedElements1->isCheckable());
        QVERIFY(form->ShowUnusedElements1->isChecked());
        const int all = form->document().elements().elementCount();
        QCOMPARE(shownElements(*form).size(), all);

        // The selected node goes out of sight: the root takes the selection.
        form->Elements->setCurrentIndex(findNode(*form, QStringLiteral("H1")));
        form->ShowUnusedElements1->trigger();
        QVERIFY(!form->ShowUnusedElements1->isChecked());
        QCOMPARE(form->Elements->currentIndex(), findNode(*form, {}));
        QCOMPARE(shownElements(*form),
                 (QStringList{QStringLiteral("BODY"), QStringLiteral(".empty"), QStringLiteral(".note")}));

        // H1 gets a declaration: it shows again. BODY loses its only one: it goes.
        form->ElementsDragDrop(findNode(*form, QStringLiteral("H1")),
                               CatalogueDrag::Node{0, -1, QStringLiteral("color"), 1, {}});
        QTRY_COMPARE(shownElements(*form), (QStringList{QStringLiteral("BODY"), QStringLiteral("H1"),
                                                        QStringLiteral(".empty"), QStringLiteral(".note")}));
        form->Elements->setCurrentIndex(findNode(*form, QStringLiteral("BODY"), QStringLiteral("color=red")));
        form->DeleteProperty1Click();
        QTRY_COMPARE(shownElements(*form),
                     (QStringList{QStringLiteral("H1"), QStringLiteral(".empty"), QStringLiteral(".note")}));

        // A new document holds no declaration: every node of the catalogue is hidden.
        form->document().setModified(false);
        form->NewClick();
        QTRY_COMPARE(shownElements(*form), QStringList());

        form->ShowUnusedElements1->trigger();
        QCOMPARE(shownElements(*form).size(), form->document().elements().elementCount());
    }

    // A label wider than the tree shows whole in its tooltip.
    void longLabelShowsInItsTooltip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        const QString value =
            QStringLiteral("font-family=\"") + QString(60, QLatin1Char('x')) + QLatin1Char('"');
        writeFile(path, "BODY {" + value.toUtf8() + ";}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QModelIndex node = findNode(*form, QStringLiteral("BODY"), value);
        QVERIFY(node.isValid());
        form->Elements->scrollTo(node);
        const QRect cell = form->Elements->visualRect(node);
        QVERIFY(form->Elements->fontMetrics().horizontalAdvance(value) > form->Elements->viewport()->width());
        const QPoint at(cell.left() + 30, cell.center().y());
        QHelpEvent help(QEvent::ToolTip, at, form->Elements->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(form->Elements->viewport(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        // The whole label, then the declaration's browser support.
        QCOMPARE(QToolTip::text(), value + QStringLiteral("\nBaseline: widely available since 2018"));
        QToolTip::hideText();
    }

    // A new or newly read document leaves no value of the old one in the editors.
    void editorsAreClearedByNewAndOpen_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("New") << false;
        QTest::newRow("Open") << true;
    }

    void editorsAreClearedByNewAndOpen()
    {
        QFETCH(bool, open);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {font-size=5; font-family=Serif; text-align=center; background-image=\"a.png\"; "
                        "color=red;}");
        const QString other = dir.filePath(QStringLiteral("other.css"));
        writeFile(other, "H1 {font-size=7;}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        for (const QString &label : attributeLabels(*form, QStringLiteral("P"))) {
            clickNode(*form, findNode(*form, QStringLiteral("P"), label));
            // The number box shows its number only while it is enabled.
            if (label.startsWith(QLatin1String("font-size")))
                QCOMPARE(form->Numbers->text(), QStringLiteral("5"));
        }
        QVERIFY(form->ColorButton->isEnabled());
        QCOMPARE(form->Numbers->text(), QString());
        QCOMPARE(form->FontCombo->currentText(), QStringLiteral("Serif"));
        QVERIFY(!form->OptionsCombo->currentText().isEmpty());
        QCOMPARE(form->FileEdit->text(), QStringLiteral("a.png"));
        form->document().setModified(false);

        DialogAnswerer answer;
        if (open)
            answer.on<QFileDialog>(
                [&other](QFileDialog *dialog) { DialogAnswerer::chooseFile(dialog, other); });
        if (open)
            form->OpenClick();
        else
            form->NewClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));

        for (QWidget *editor :
             {static_cast<QWidget *>(form->ColorButton), static_cast<QWidget *>(form->FontCombo),
              static_cast<QWidget *>(form->Numbers), static_cast<QWidget *>(form->OptionsCombo),
              static_cast<QWidget *>(form->FileEdit), static_cast<QWidget *>(form->Browse)})
            QVERIFY2(!editor->isEnabled(), editor->metaObject()->className());
        QCOMPARE(form->Numbers->text(), QString());
        QCOMPARE(form->FontCombo->currentText(), QString());
        QCOMPARE(form->OptionsCombo->currentText(), QString());
        QCOMPARE(form->OptionsCombo->count(), 0);
        QCOMPARE(form->FileEdit->text(), QString());
        QVERIFY(!form->document().isModified());
        // The emptied editors wrote nothing into the document.
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()),
                 open ? QStringLiteral("H1 {font-size=7;}") : QString());

        // The next click presets the editor of its node as usual.
        const QString element = open ? QStringLiteral("H1") : QString();
        if (open) {
            clickNode(*form, findNode(*form, element, QStringLiteral("font-size=7")));
            QVERIFY(form->Numbers->isEnabled());
            QCOMPARE(form->Numbers->text(), QStringLiteral("7"));
        }
    }

    // The colour dialog behind "Other" starts at the button's colour: the value's, or
    // the one last picked from the palette.
    void colourDialogStartsAtTheButtonsColour_data()
    {
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<QColor>("picked"); // chosen in the palette after the click
        QTest::addColumn<QColor>("expected");
        QTest::newRow("a palette colour") << QStringLiteral("color=#00FF00") << QColor() << QColor(0, 255, 0);
        QTest::newRow("no palette colour")
            << QStringLiteral("color=#123456") << QColor() << QColor(0x12, 0x34, 0x56);
        QTest::newRow("picked after")
            << QStringLiteral("color=#123456") << QColor(0, 0, 255) << QColor(0, 0, 255);
    }

    void colourDialogStartsAtTheButtonsColour()
    {
        QFETCH(QString, declaration);
        QFETCH(QColor, picked);
        QFETCH(QColor, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "P {" + declaration.toUtf8() + ";}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        clickNode(*form, findNode(*form, QStringLiteral("P"), declaration));
        QVERIFY(form->ColorButton->isEnabled());
        if (picked.isValid()) // as the palette sets a chosen colour
            form->ColorButton->setColor(WidgetColors::fromQColor(picked));
        QCOMPARE(WidgetColors::toQColor(form->ColorButton->color()), expected);

        QTest::mouseClick(form->ColorButton, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_VERIFY(form->ColorButton->paletteWindow());
        QColor started;
        DialogAnswerer answer;
        answer.on<QColorDialog>([&started](QColorDialog *dialog) {
            started = dialog->currentColor();
            DialogAnswerer::cancel(dialog);
        });
        form->ColorButton->paletteWindow()->btnOther()->click();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(started, expected);
        form->ColorButton->paletteWindow()->close();
    }
};

LW_TEST_CLASS(TestMainWindow)
#include "TestMainWindow.moc"
