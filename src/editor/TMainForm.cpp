#include "TMainForm.h"

#include "AttributeListModel.h"
#include "ButtonRow.h"
#include "CheckMarks.h"
#include "Colors.h"
#include "ColourTool.h"
#include "DocumentEdits.h"
#include "DocumentSession.h"
#include "ElementsTreeView.h"
#include "ExceptionBox.h"
#include "Failure.h"
#include "FileDialogs.h"
#include "MatchedRulesPane.h"
#include "Messages.h"
#include "PendingMessages.h"
#include "PreviewController.h"
#include "ProblemsPane.h"
#include "ProcessMemory.h"
#include "PropertiesTreeView.h"
#include "RecoveryGuard.h"
#include "RegistryStore.h"
#include "SaveQuestionBoxes.h"
#include "Structure.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TZEBColorButton.h"
#include "ValueText.h"
#include "WidgetColors.h"
#include "WindowPlacement.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <limits>
#include <utility>

namespace {

// The stored settings of documents.
const QString DocumentsKey = QStringLiteral("\\Software\\Loomwright 99\\Documents");

// The initial design, in Qt's units: the client area of a 592 x 372 window.
constexpr int ClientWidth = 584;
constexpr int ClientHeight = 345;
constexpr int LeftPanelWidth = 221;
constexpr int SplitterWidth = 3;
constexpr int RightPanelWidth = 148;
constexpr int HeadingHeight = 13;
constexpr int TreeIndent = 19;
// The size of the window at the first start, where the screen's free area allows.
constexpr QSize FirstStartSize(1000, 700);

const QString StyleSheetFilter = QStringLiteral("Style Sheet Files (*.css)|*.css|All Files (*.*)|*.*");
const QString SaveFilter =
    QStringLiteral("Style Sheet Files (*.css)|*.css|Text Files (*.txt)|*.txt|All Files (*.*)|*.*");

// The five generic font families, on top of the font list.
const QStringList GenericFamilies = {QStringLiteral("Serif"), QStringLiteral("Sans-Serif"),
                                     QStringLiteral("Cursive"), QStringLiteral("Fantasy"),
                                     QStringLiteral("Monospace")};

// The colour button's drop-down palette, 4 across and 5 down, given column by column
// as 0xRRGGBB.
TColorArrayClass paletteColors()
{
    static constexpr uint32_t Colors[] = {
        0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xBFD7BF, 0x000000, 0x7F0000, 0x007F00, 0x00007F, 0x9FBFEF,
        0xBFBFBF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFF7EF, 0x7F7F7F, 0x7F7F00, 0x007F7F, 0x7F007F, 0x9F9F9F};
    QList<uint32_t> stored;
    for (const uint32_t rgb : Colors)
        stored.append(WidgetColors::rgb(int(rgb >> 16), int(rgb >> 8), int(rgb)));
    TColorArrayClass palette;
    palette.readStored(4, 5, stored);
    return palette;
}

// The colour dialog's custom colours: 8 x 2, all white.
TColorArrayClass whiteCustomColors()
{
    TColorArrayClass custom(8, 2);
    for (int i = 1; i <= custom.count(); ++i)
        custom.setAt(i, WidgetColors::rgb(255, 255, 255));
    return custom;
}

class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QWidget(parent), m_catalogueFolder(QCoreApplication::applicationDirPath()),
      m_attributeImages(PictureIcons::kindPictures()), m_elementImages(PictureIcons::kindPictures()),
      m_attributeIcons(m_attributeImages), m_elementIcons(m_elementImages)
{
    m_attributeList = new AttributeListModel(this);
    m_document.elements().setDecorationProvider(
        [this](int picture) { return m_elementIcons.decoration(picture); });
    m_attributeList->setDecorationProvider(
        [this](int picture) { return m_attributeIcons.decoration(picture); });
    // Declarations a browser would drop are marked in the tree, after every read and edit.
    m_marks = new CheckMarks(
        m_document.elements(), [this] { return m_catalogueFolder; },
        [this](int picture) { return m_elementIcons.decoration(picture); }, this);

    createLayout();
    createActions();
    createReopenMenu();
    createMenuBar();
    createDialogs();
    Elements->setModel(&m_document.elements());
    Properties->setModel(m_attributeList);
    connectTrees();
    connectEditors();
    watchFocus();
    m_document.setModifiedObserver([this](bool) { updateTitle(); });
    m_recovery = std::make_unique<RecoveryGuard>(m_document, this);
    m_recovery->setWorkBase([this] { return m_session.workBase(); });
    m_preview = new PreviewController(m_document, this);
    connect(m_preview, &PreviewController::inspected, this, &TMainForm::inspected);
    // The rule selected in the tree is outlined in the preview's pages.
    connect(Elements, &ElementsTreeView::currentNodeChanged, this, [this](const QModelIndex &current) {
        m_preview->outline(StyleSheetModel::levelOf(current) == StyleSheetModel::ElementLevel
                               ? MatchedRules::resolvedSelector(m_document.elements().nodeOf(current))
                               : QString());
    });
    connect(&m_session, &DocumentSession::changedOnDisk, this, &TMainForm::fileChangedOnDisk);
    connect(&m_session, &DocumentSession::workSafe, m_recovery.get(), &RecoveryGuard::discard);
    // A rebuilt or re-read element list keeps its root open and selected.
    connect(&m_document.elements(), &QAbstractItemModel::modelReset, this, [this] {
        const QModelIndex root = m_document.elements().rootIndex();
        Elements->expand(root);
        Elements->setCurrentIndex(root);
    });

    updateTitle();
    resize(ClientWidth, ClientHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm()
{
    // Closing and destroying the controls still sends signals (a drop-down box takes
    // its typed text as a choice when it loses the focus); none may reach the
    // handlers of a window that is going away.
    const QList<QObject *> children = findChildren<QObject *>();
    for (QObject *child : children)
        child->disconnect(this);
    m_document.elements().disconnect(this);
    m_document.setModifiedObserver({});
}

// ---------------------------------------------------------------------------------
// Layout

void TMainForm::createLayout()
{
    Elements = new ElementsTreeView;
    Properties = new PropertiesTreeView;
    for (QTreeView *tree : std::initializer_list<QTreeView *>{Elements, Properties}) {
        tree->setHeaderHidden(true);
        tree->setIndentation(TreeIndent);
        tree->setUniformRowHeights(true);
        // A click on the selected node's label or F2 edits the label in place.
        tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    }

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setHandleWidth(SplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(createTreePanel(QStringLiteral("Elements"), Elements));
    Splitter1->addWidget(createTreePanel(QStringLiteral("Attributes"), Properties));
    // A wider window widens both trees; the value editors keep their width.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({LeftPanelWidth, ClientWidth - LeftPanelWidth - SplitterWidth - RightPanelWidth});

    auto *rightPanel = new QWidget;
    rightPanel->setFixedWidth(RightPanelWidth);
    createEditSettings()->setParent(rightPanel);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(Splitter1, 1);
    top->addWidget(rightPanel);

    // Every finding of the check, below the trees; choosing one selects its node.
    Problems = new ProblemsPane(m_document.elements(), *m_marks);
    connect(Problems, &ProblemsPane::chosen, this, [this](const QModelIndex &index) {
        Elements->scrollTo(index);
        Elements->setCurrentIndex(index);
    });

    // The rules of the element last clicked in the preview, shown while Inspect is on.
    Matched = new MatchedRulesPane(m_document.elements());
    Matched->hide();
    connect(Matched, &MatchedRulesPane::chosen, this, [this](const QModelIndex &index) {
        Elements->scrollTo(index);
        Elements->setCurrentIndex(index);
    });

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addLayout(top, 1);
    outer->addWidget(Problems);
    outer->addWidget(Matched);
    outer->addWidget(createBottomPanel());
    // One line that tells what happened to the file without asking (read again after
    // another program changed it), and the number of problems.
    StatusNote = new QLabel;
    StatusNote->setObjectName(QStringLiteral("StatusNote"));
    auto *status = new QHBoxLayout;
    status->addWidget(StatusNote, 1);
    status->addWidget(Problems->countLabel());
    outer->addLayout(status);

    Elements->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TMainForm::createReopenMenu()
{
    ReopenWithEncoding1 = new QMenu(QStringLiteral("Reopen with &Encoding"), this);
    auto *choices = new QActionGroup(ReopenWithEncoding1);
    for (const TextFile::Encoding encoding : TextFile::Encoding::available()) {
        QAction *action = ReopenWithEncoding1->addAction(encoding.name());
        action->setCheckable(true);
        choices->addAction(action);
        connect(action, &QAction::triggered, this, [this, encoding] { reopenWithEncoding(encoding); });
    }
    // The document's encoding checked, each time the menu opens.
    connect(ReopenWithEncoding1, &QMenu::aboutToShow, this, [this] {
        const QString current = m_document.encoding().name();
        for (QAction *action : ReopenWithEncoding1->actions())
            action->setChecked(action->text() == current);
    });
}

QWidget *TMainForm::createTreePanel(const QString &heading, QTreeView *tree)
{
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *label = new QLabel(heading);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedHeight(std::max(HeadingHeight, label->fontMetrics().height()));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
    label->setPalette(palette);

    layout->addWidget(label);
    layout->addWidget(tree, 1);
    return panel;
}

QWidget *TMainForm::createEditSettings()
{
    auto *group = new QGroupBox(QStringLiteral("Edit Settings"));
    group->setGeometry(7, 6, 137, 295);
    // Each caption's underlined letter (Alt with it) takes the keyboard to its editor.
    const auto caption = [group](const QString &text, int y) {
        auto *label = new QLabel(text, group);
        label->move(12, y);
        label->adjustSize();
        return label;
    };
    const auto place = [](QWidget *editor, int y, int width, int height = 0) {
        editor->setGeometry(12, y, width, height > 0 ? height : editor->sizeHint().height());
        editor->setEnabled(false);
    };

    QLabel *colourCaption = caption(QStringLiteral("Colo&ur:"), 20);
    ColorButton = new TZEBColorButton(group);
    ColorButton->setPaletteColors(paletteColors());
    ColorButton->setCustomColors(whiteCustomColors());
    ColorButton->setOtherColor(WidgetColors::ButtonFace);
    ColorButton->setOtherBtnCaption(QStringLiteral("&Other"));
    place(ColorButton, 40, 45, 22);
    colourCaption->setBuddy(ColorButton);
    ColorInfo = new ColourTool(ColorButton, QPoint(62, 21));

    QLabel *fontCaption = caption(QStringLiteral("Fon&t:"), 68);
    FontCombo = new QComboBox(group);
    FontCombo->setEditable(true);
    FontCombo->setInsertPolicy(QComboBox::NoInsert);
    // Each typed character is written as typed: no completion adds to it.
    FontCombo->setCompleter(nullptr);
    place(FontCombo, 84, 117);
    fontCaption->setBuddy(FontCombo);

    QLabel *numbersCaption = caption(QStringLiteral("Si&ze/Value:"), 116);
    Numbers = new TCSpinEdit(group);
    Numbers->setDecimals(ValueText::MaxDecimals);
    place(Numbers, 136, 117, 22);
    numbersCaption->setBuddy(Numbers);

    QLabel *choiceCaption = caption(QStringLiteral("Cho&ice:"), 164);
    OptionsCombo = new QComboBox(group);
    OptionsCombo->setEditable(true);
    OptionsCombo->setInsertPolicy(QComboBox::NoInsert);
    OptionsCombo->setCompleter(nullptr);
    place(OptionsCombo, 180, 115);
    choiceCaption->setBuddy(OptionsCombo);

    QLabel *fileCaption = caption(QStringLiteral("Fi&le:"), 212);
    FileEdit = new QLineEdit(group);
    place(FileEdit, 228, 115);
    fileCaption->setBuddy(FileEdit);

    Browse = new QPushButton(QStringLiteral("Browse..."), group);
    place(Browse, 256, 75, 25);
    return group;
}

QWidget *TMainForm::createBottomPanel()
{
    // The gaps of the design: 5 between the buttons, 6 before Edit Code.
    auto *row = new ButtonRow;
    Close = row->addButton(QStringLiteral("&Close"));
    New = row->addButton(QStringLiteral("&New"), QStyle::SP_FileIcon);
    Open = row->addButton(QStringLiteral("&Open..."), QStyle::SP_DialogOpenButton);
    Finish = row->addButton(QStringLiteral("&Save..."), QStyle::SP_DialogSaveButton);
    SaveAs = row->addButton(QStringLiteral("Save &As..."), QStyle::SP_CustomBase, 6);
    Code = row->addButton(QStringLiteral("&Edit Code"), QStyle::SP_FileDialogContentsView);
    Preview = row->addButton(QStringLiteral("P&review"));
    Close->setToolTip(QStringLiteral("Close (Ctrl+Q)"));
    New->setToolTip(QStringLiteral("New style sheet (Ctrl+N)"));
    Open->setToolTip(QStringLiteral("Open a style sheet (Ctrl+O)"));
    Finish->setToolTip(QStringLiteral("Save (Ctrl+S)"));
    SaveAs->setToolTip(QStringLiteral("Save under a new name (Ctrl+Shift+S)"));
    Code->setToolTip(QStringLiteral("Edit the style sheet as text (Ctrl+E)"));
    Preview->setToolTip(
        QStringLiteral("Show the style sheet live in your browser (F5; Shift+F5 chooses the page)"));

    connect(Close, &QPushButton::clicked, this, &TMainForm::CloseClick);
    connect(New, &QPushButton::clicked, this, &TMainForm::NewClick);
    connect(Open, &QPushButton::clicked, this, &TMainForm::OpenClick);
    connect(Finish, &QPushButton::clicked, this, &TMainForm::FinishClick);
    connect(SaveAs, &QPushButton::clicked, this, &TMainForm::SaveAsClick);
    connect(Code, &QPushButton::clicked, this, &TMainForm::CodeClick);
    connect(Preview, &QPushButton::clicked, this, &TMainForm::PreviewClick);
    return row;
}

QAction *TMainForm::makeCommand(const QString &text, const QList<QKeySequence> &keys)
{
    auto *action = new QAction(text, this);
    // The command's name in the Keyboard Shortcuts list, also when its text names a step
    // (Undo, Redo) or what it deletes.
    action->setIconText(QString(text).remove(QLatin1Char('&')).remove(QStringLiteral("...")));
    action->setShortcuts(keys);
    // The key works wherever the focus is in the window (see eventFilter for the text
    // fields); the menus and buttons show the same action, so no key is bound twice.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
}

void TMainForm::createActions()
{
    const auto key = [](QKeyCombination keys) { return QList<QKeySequence>{QKeySequence(keys)}; };
    New1 = makeCommand(QStringLiteral("&New"), key(Qt::CTRL | Qt::Key_N));
    Open1 = makeCommand(QStringLiteral("&Open..."), key(Qt::CTRL | Qt::Key_O));
    Save1 = makeCommand(QStringLiteral("&Save"), key(Qt::CTRL | Qt::Key_S));
    SaveAs1 = makeCommand(QStringLiteral("Save &As..."), key(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    Close1 = makeCommand(QStringLiteral("&Close"), key(Qt::CTRL | Qt::Key_Q));
    // Undo and Redo name the step they take back or do again.
    Undo1 = makeCommand(QStringLiteral("&Undo"), {QKeySequence::Undo});
    Redo1 = makeCommand(QStringLiteral("&Redo"),
                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    NewElement1 = makeCommand(QStringLiteral("New &Element"), {});
    NewRule1 = makeCommand(QStringLiteral("New &Rule"), key(Qt::CTRL | Qt::Key_R));
    NewAtRule1 = new QMenu(QStringLiteral("New &At-rule"), this);
    for (const Structure::AtRuleOffer &offer : Structure::atRuleOffers()) {
        QAction *action = NewAtRule1->addAction(offer.name);
        connect(action, &QAction::triggered, this, [this, offer] { newAtRule(offer.label, offer.kind); });
    }
    // The at-rules' menu is itself a command: Ctrl+Shift+R opens it at the selected
    // node, for the keyboard.
    QAction *atRules = NewAtRule1->menuAction();
    atRules->setIconText(QStringLiteral("New At-rule"));
    atRules->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    atRules->setShortcutContext(Qt::WindowShortcut);
    addAction(atRules);
    connect(atRules, &QAction::triggered, this, [this] {
        QRect place = Elements->visualRect(Elements->currentIndex());
        if (!place.isValid())
            place = QRect(0, 0, 1, 1);
        NewAtRule1->popup(Elements->viewport()->mapToGlobal(place.bottomLeft()));
    });
    NewProperty1 = makeCommand(QStringLiteral("New &Property"), key(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    EditLabel1 = makeCommand(QStringLiteral("Edit &Label"), key(Qt::Key_F2));
    // Enabled while the selection holds something to delete (updateDeleteAction).
    DeleteProperty1 = makeCommand(QStringLiteral("&Delete Property"), key(Qt::Key_Delete));
    DeleteProperty1->setIconText(QStringLiteral("Delete"));
    EditCode1 = makeCommand(QStringLiteral("Edit &Code..."), key(Qt::CTRL | Qt::Key_E));
    StandardCss1 = makeCommand(QStringLiteral("&Standard CSS"), {});
    StandardCss1->setCheckable(true);
    ShowUnusedElements1 = makeCommand(QStringLiteral("Sho&w Unused Elements"), {});
    ShowUnusedElements1->setCheckable(true);
    ShowUnusedElements1->setChecked(true);
    KeyboardShortcuts1 = makeCommand(QStringLiteral("&Keyboard Shortcuts"), {});
    About1 = makeCommand(QStringLiteral("&About Loomwright CSS"), {});
    Preview1 = makeCommand(QStringLiteral("&Preview"), {QKeySequence(Qt::Key_F5)});
    PreviewPage1 = makeCommand(QStringLiteral("Preview P&age..."), {QKeySequence(Qt::SHIFT | Qt::Key_F5)});
    // In the preview's pages a click then finds the element's rules (Alt+Shift+I there
    // toggles it for that page alone).
    Inspect1 = makeCommand(QStringLiteral("&Inspect"), {QKeySequence(Qt::Key_F6)});
    Inspect1->setCheckable(true);

    connect(New1, &QAction::triggered, this, &TMainForm::NewClick);
    connect(Open1, &QAction::triggered, this, &TMainForm::OpenClick);
    connect(Save1, &QAction::triggered, this, &TMainForm::FinishClick);
    connect(SaveAs1, &QAction::triggered, this, &TMainForm::SaveAsClick);
    connect(Close1, &QAction::triggered, this, &TMainForm::CloseClick);
    connect(EditCode1, &QAction::triggered, this, &TMainForm::CodeClick);
    connect(EditLabel1, &QAction::triggered, this, &TMainForm::EditLabel1Click);
    connect(KeyboardShortcuts1, &QAction::triggered, this, &TMainForm::KeyboardShortcuts1Click);
    connect(About1, &QAction::triggered, this, &TMainForm::About1Click);
    connect(Preview1, &QAction::triggered, this, &TMainForm::PreviewClick);
    connect(PreviewPage1, &QAction::triggered, this, &TMainForm::PreviewPageClick);
    connect(Inspect1, &QAction::toggled, this, [this](bool on) {
        m_preview->setInspect(on);
        Matched->setVisible(on);
    });

    // The element tree's context menu: the same actions as the menu bar.
    ElementsPopup = new QMenu(this);
    ElementsPopup->addActions({Undo1, Redo1});
    ElementsPopup->addSeparator();
    ElementsPopup->addActions({NewElement1, NewRule1, atRules, NewProperty1, DeleteProperty1});
    ElementsPopup->addSeparator();
    ElementsPopup->addActions({StandardCss1, ShowUnusedElements1});
}

std::vector<std::pair<QString, QList<QAction *>>> TMainForm::menuCommands() const
{
    // A command added to the window is made in createActions() and listed here; the
    // menu bar and the Keyboard Shortcuts list follow from this list (nullptr: a
    // separator).
    return {
        {QStringLiteral("&File"),
         {New1, Open1, ReopenWithEncoding1->menuAction(), Save1, SaveAs1, nullptr, Close1}},
        {QStringLiteral("E&dit"),
         {Undo1, Redo1, nullptr, NewElement1, NewRule1, NewAtRule1->menuAction(), NewProperty1, EditLabel1,
          DeleteProperty1, nullptr, StandardCss1, nullptr, EditCode1}},
        {QStringLiteral("&View"), {ShowUnusedElements1, nullptr, Preview1, PreviewPage1, Inspect1}},
        {QStringLiteral("&Help"), {KeyboardShortcuts1, nullptr, About1}},
    };
}

QList<QAction *> TMainForm::commands() const
{
    QList<QAction *> all;
    for (const auto &[title, actions] : menuCommands())
        for (QAction *action : actions)
            if (action)
                all.append(action);
    return all;
}

void TMainForm::createMenuBar()
{
    MenuBar = new QMenuBar(this);
    for (const auto &[title, actions] : menuCommands()) {
        QMenu *menu = MenuBar->addMenu(title);
        // The commands' states (the document's form, what Delete deletes, Undo's text)
        // are brought up to date as a menu opens, as they are for the tree's own menu.
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::ElementsPopupPopup);
        for (QAction *action : actions) {
            if (action)
                menu->addAction(action);
            else
                menu->addSeparator();
        }
    }
    layout()->setMenuBar(MenuBar);
}

void TMainForm::createDialogs()
{
    OpenDialog1.setMaker([this] {
        return FileDialogs::openDialog(this, QString(), QStringLiteral("All Files (*.*)|*.*"),
                                       QStringLiteral("Browse"));
    });
    OpenDialog2.setMaker([this] {
        return FileDialogs::openDialog(this, QStringLiteral("Open Style Sheet"), StyleSheetFilter,
                                       QStringLiteral("Open"));
    });
    SaveDialog1.setMaker([this] {
        return FileDialogs::saveDialog(this, QStringLiteral("Save Style Sheet"), SaveFilter,
                                       QStringLiteral("css"), QStringLiteral("Save"));
    });
}

// ---------------------------------------------------------------------------------
// Start-up and activation

bool TMainForm::FormCreate()
{
    if (!Catalogue::tablesPresent(m_catalogueFolder)) {
        Messages::catalogueMissing(nullptr);
        return false;
    }
    // A failure skips the rest; the program goes on with what was built.
    ExceptionBox::guard(this, [this] {
        readDocumentSettings();
        Catalogue::StartUp steps;
        steps.progress = [this](const QString &text, int position) { reportProgress(text, position); };
        steps.elementsBuilt = [this](Catalogue::ElementList list) { m_document.applyElementList(list); };
        steps.attributesBuilt = [this](std::vector<Catalogue::AttributeEntry> list) {
            m_attributeList->setAttributes(std::move(list));
        };
        m_catalogue.loadAtStartUp(m_catalogueFolder, m_elementImages, steps);
        fillFontCombo();
        m_document.setCurrentFileName(Document::NotSaved);
        updateTitle();
        showRoots();
    });
    ExceptionBox::guard(this, [this] { restoreWindowState(); });
    return true;
}

void TMainForm::readDocumentSettings()
{
    // "NewDocumentForm"="editor" makes new documents the editor's own name=value form.
    RegistryStore registry;
    const RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, DocumentsKey);
    // "OpenSizeLimitKB": files above this many kilobytes are read only when the user
    // agrees (a number or a text of digits; anything else keeps the default).
    bool isNumber = false;
    const qint64 limitKb =
        key.value(QStringLiteral("OpenSizeLimitKB")).toString().trimmed().toLongLong(&isNumber);
    m_openSizeLimit = isNumber && limitKb >= 0 ? limitKb * 1024 : TextFile::DefaultSizeLimit;
    const bool editor = key.readString(QStringLiteral("NewDocumentForm"))
                            .compare(QLatin1String("editor"), Qt::CaseInsensitive) == 0;
    m_document.setNewDocumentForm(
        m_newFormOverride.value_or(editor ? DocumentForm::Editor : DocumentForm::Standard));
}

void TMainForm::restoreWindowState()
{
    RegistryStore registry;
    const WindowPlacement placement = WindowPlacement::read(registry);
    const QPoint near = placement.position.value_or(pos());
    const QScreen *screen = QGuiApplication::screenAt(near + QPoint(1, 1));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QRect normal = placement.placedIn(available, FirstStartSize);
    resize(normal.size());
    move(normal.topLeft());
    if (placement.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
    if (placement.splitter > 0) {
        // The splitter shares out its width in proportion to these sizes when it is laid
        // out, so they are given for the width it will have.
        const int width = (placement.maximised ? available.width() : normal.width()) - RightPanelWidth;
        const int left = std::min(placement.splitter, width - SplitterWidth - 1);
        Splitter1->setSizes({left, width - SplitterWidth - left});
    }
}

void TMainForm::saveWindowState() const
{
    WindowPlacement placement;
    const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    const QRect geometry = normal ? this->geometry() : normalGeometry();
    if (geometry.isValid()) {
        // The frame's corner, as move() takes it back.
        placement.position = geometry.topLeft() - (this->geometry().topLeft() - pos());
        placement.size = geometry.size();
    }
    placement.maximised = windowState() & Qt::WindowMaximized;
    placement.splitter = Splitter1->sizes().value(0);
    RegistryStore registry;
    placement.write(registry);
}

void TMainForm::showRoots()
{
    const QModelIndex attributes = m_attributeList->rootIndex();
    const QModelIndex elements = m_document.elements().rootIndex();
    Properties->expand(attributes);
    Elements->expand(elements);
    Elements->setCurrentIndex(elements);
    Properties->setCurrentIndex(attributes);
}

void TMainForm::reportProgress(const QString &text, int position)
{
    if (m_progress)
        m_progress(text, position);
    PendingMessages::processNow();
}

void TMainForm::fillFontCombo()
{
    QStringList fonts;
    const QStringList families = QFontDatabase::families();
    for (const QString &family : families)
        if (!QFontDatabase::isPrivateFamily(family))
            fonts << family;
    if (!fonts.contains(QStringLiteral("Default")))
        fonts << QStringLiteral("Default");
    fonts.sort(Qt::CaseInsensitive);

    const QSignalBlocker blocker(FontCombo);
    FontCombo->clear();
    FontCombo->addItems(GenericFamilies + fonts);
    FontCombo->setCurrentIndex(-1);
    // The list opens wide enough for its longest name, wider than the box itself.
    int widest = 0;
    const QFontMetrics metrics(FontCombo->view()->font());
    for (int i = 0; i < FontCombo->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(FontCombo->itemText(i)));
    const int scrollBar = FontCombo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FontCombo);
    FontCombo->view()->setMinimumWidth(widest + scrollBar + 4 * FontCombo->view()->frameWidth() + 16);
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_activated && !m_activationQueued) {
        m_activationQueued = true;
        QTimer::singleShot(0, this, &TMainForm::FormActivate);
    }
    return QWidget::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Without a window manager a shown window is not activated until it is clicked;
    // the first showing counts as the first activation.
    if (!m_activated && !m_activationQueued) {
        m_activationQueued = true;
        QTimer::singleShot(0, this, &TMainForm::FormActivate);
    }
}

void TMainForm::FormActivate()
{
    if (m_activated)
        return;
    m_activated = true;
    ExceptionBox::guard(this, [this] { activationStep(); });
    // Work that a crash left behind is offered once the window stands.
    ExceptionBox::guard(this, [this] {
        if (!m_recovery->offerRecovery(m_catalogue))
            return;
        // Work recovered under its file's name: later changes of the file by other
        // programs are told as for a file opened.
        if (m_document.hasFile())
            m_session.written(m_document.currentFileName());
        expandReadDocument();
        m_saveName = m_recovery->recoveredSaveName();
        clearEditors();
        updateTitle();
    });
}

void TMainForm::activationStep()
{
    m_document.addPseudoClassNodes();
    // A file that cannot be opened is said with its reason; the window keeps its empty sheet.
    if (!m_pendingCommandLineFile.isEmpty()) {
        const QString path = std::exchange(m_pendingCommandLineFile, QString());
        reportProgress(QStringLiteral("Opening style sheet"), -1);
        readStyleSheet(path);
    }
}

void TMainForm::updateTitle()
{
    // An edited document shows a "*" before its name.
    setWindowTitle(Messages::ApplicationTitle + QLatin1String(" - ") +
                   (m_document.isModified() ? QStringLiteral("*") : QString()) +
                   m_document.currentFileName() + m_titleNote);
    // Only a document with a file can be read again.
    if (ReopenWithEncoding1)
        ReopenWithEncoding1->menuAction()->setEnabled(m_document.hasFile());
}

void TMainForm::expandReadDocument()
{
    const StyleSheetModel &model = m_document.elements();
    QModelIndexList nodes{model.rootIndex()};
    nodes.reserve(model.elementCount() + 1);
    for (int i = 0; i < model.elementCount(); ++i) {
        if (model.element(i).kind != NodeKind::Block)
            nodes.append(model.elementIndex(i));
    }
    Elements->expandNodes(nodes);
}

bool TMainForm::readStyleSheet(const QString &path, std::optional<TextFile::Encoding> encoding,
                               DocumentSession::Start start)
{
    TextFile::LoadOptions options;
    options.sizeLimit = m_openSizeLimit;
    options.encoding = encoding;
    // Looked at before anything is opened: a special file is refused without a read that
    // could block, and a large one is read only when the user agrees.
    qint64 size = 0;
    try {
        size = TextFile::regularFileSize(path);
    } catch (const Failure &failure) {
        Messages::styleSheetUnreadable(this, failure.message());
        return false;
    }
    if (size > m_openSizeLimit) {
        if (!Messages::askToOpenLargeFile(this, path, size, m_openSizeLimit))
            return false;
        options.sizeLimit = -1;
    }
    // A large file is read under a modal progress dialog; its Cancel stops the reading
    // between pieces, and the document stays as it was.
    std::unique_ptr<QProgressDialog> progress;
    bool cancelled = false;
    if (size > m_progressSize) {
        progress = std::make_unique<QProgressDialog>(
            QStringLiteral("Reading %1 (%2)")
                .arg(path, QLocale::c().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat)),
            QStringLiteral("Cancel"), 0, 1000, this);
        progress->setWindowTitle(Messages::ApplicationTitle);
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setAutoReset(false);
        progress->setAutoClose(false);
        progress->setMinimumDuration(0);
        progress->show();
        options.progress = [&progress, &cancelled](qint64 read, qint64 total) {
            progress->setValue(total > 0 ? int(std::min<qint64>(read * 1000 / total, 1000)) : 1000);
            QCoreApplication::processEvents();
            cancelled = progress->wasCanceled();
            return !cancelled;
        };
    }
    // Once the text is in, the progress turns busy while the sheet is built from it;
    // Cancel is heard there too.
    StyleSheetReader::ProcessEvents events = [] { PendingMessages::process(); };
    if (progress)
        events = [&progress] {
            if (progress->maximum() != 0)
                progress->setRange(0, 0);
            PendingMessages::process(true);
            if (progress->wasCanceled())
                throw StyleSheetReader::Cancelled{};
        };
    bool read = false;
    StyleSheetReader::ReadError error;
    {
        const WaitCursor wait;
        read = m_session.open(path, options, events, &error, start);
        cancelled = cancelled || error.cancelled;
        progress.reset();
        // The root and every node under it are shown expanded, except at-rule blocks,
        // which stay closed until the user opens them (their rules would bury the rest).
        if (read)
            expandReadDocument();
    }
    if (cancelled)
        return false; // the user's own choice: nothing to say
    if (!read) {
        // The catalogue has said why in its own words; the user's file is not to blame.
        if (error.catalogue)
            ExceptionBox::show(this, error.reason);
        else if (error.line <= 0)
            Messages::styleSheetUnreadable(this, error.describe());
        else if (Messages::styleSheetRefused(this, error.describe()))
            editRefusedFile(path, error.line, error.column);
        return false;
    }
    m_titleNote.clear();
    Elements->setCurrentIndex(m_document.elements().rootIndex());
    Properties->setCurrentIndex(m_attributeList->rootIndex());
    updateTitle();
    // The file's bytes and the reader's and the check's working lists are gone.
    ProcessMemory::giveBackFreedMemory();
    m_saveName = path;
    clearEditors();
    return true;
}

// ---------------------------------------------------------------------------------
// File commands

bool TMainForm::promptStep()
{
    return !m_document.isModified() || Messages::mayDiscardEdits(this, [this] { return saveDocument(); });
}

bool TMainForm::saveDocument()
{
    if (!m_document.hasFile())
        return saveDocumentAs();
    if (!writeDocument(m_document.currentFileName()))
        return false;
    updateTitle();
    return true;
}

bool TMainForm::saveDocumentAs()
{
    // The dialog asks before it replaces an existing file.
    const QString chosen = FileDialogs::choose(SaveDialog1, m_saveName);
    if (chosen.isEmpty())
        return false;
    m_saveName = chosen;
    // A write that fails leaves the document with the file it had.
    if (!writeDocument(chosen))
        return false;
    updateTitle();
    return true;
}

bool TMainForm::writeDocument(const QString &path)
{
    SaveQuestionBoxes questions(this);
    const std::optional<SaveQuestions::Encoding> written = m_session.save(path, questions);
    if (!written)
        return false;
    StatusNote->clear();
    if (written->changed)
        m_titleNote = QStringLiteral(" (saved as %1)").arg(written->encoding.name());
    return true;
}

void TMainForm::editRefusedFile(const QString &path, int line, int column)
{
    // The file's text as it stands, at the refused place; saved in the code window, it
    // is read back when the window closes. Nothing of the file changes otherwise.
    const TextFile::Loaded loaded = TextFile::load(path, TextFile::LineBreaks::Keep);
    TCodeForm form(this);
    form.setReadBack([this](const QString &file) {
        readStyleSheet(file, std::nullopt, DocumentSession::Start::KeepModified);
    });
    form.setCatalogue(&m_catalogue);
    form.start(path, loaded.text, loaded.encoding, loaded.byteOrderMark,
               DocumentSource::lineBreakOf(loaded.text));
    form.placeCursorAt(line, column);
    const QSignalBlocker quiet(&m_session);
    form.exec();
}

void TMainForm::fileChangedOnDisk(DocumentSession::DiskChange change)
{
    ExceptionBox::guard(this, [this, change] {
        const QString path = m_document.currentFileName();
        if (change == DocumentSession::DiskChange::Removed) {
            StatusNote->setText(QStringLiteral("%1 was deleted or moved by another program.").arg(path));
            return;
        }
        if (m_document.isModified() && !Messages::mayReloadChangedFile(this, path))
            return; // kept: Save asks again before it replaces the file
        // Read again where the user was: the selected node, and the scroll position.
        const QModelIndex selected = Elements->currentIndex();
        const ElementNode *node = m_document.elements().nodeOf(selected);
        const std::vector<int> nodePath = node ? StyleSheet::pathOf(node) : std::vector<int>();
        const int row =
            StyleSheetModel::levelOf(selected) == StyleSheetModel::AttributeLevel ? selected.row() : -1;
        const int scroll = Elements->verticalScrollBar()->value();
        if (!readStyleSheet(path))
            return;
        if (const ElementNode *again = m_document.sheet().nodeAt(nodePath)) {
            const QModelIndex index = row >= 0 && row < int(again->attributes.size())
                                          ? m_document.elements().attributeIndex(again, row)
                                          : m_document.elements().nodeIndex(again);
            Elements->setCurrentIndex(index);
        }
        Elements->verticalScrollBar()->setValue(scroll);
        StatusNote->setText(
            QStringLiteral("%1 was changed by another program and has been read again.").arg(path));
    });
}

void TMainForm::buildElementList()
{
    m_document.applyElementList(m_catalogue.buildElementList(m_elementImages));
}

void TMainForm::CloseClick()
{
    ExceptionBox::guard(this, [this] { close(); });
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    bool goOn = false;
    ExceptionBox::guard(this, [&] { goOn = promptStep(); });
    if (goOn) {
        ExceptionBox::guard(this, [this] { saveWindowState(); });
        m_recovery->discard();
        event->accept();
    } else {
        event->ignore();
    }
}

void TMainForm::NewClick()
{
    ExceptionBox::guard(this, [this] {
        if (!promptStep())
            return;
        buildElementList();
        activationStep();
        m_session.startNew();
        StatusNote->clear();
        // A new document proposes no name of an earlier one when it is saved.
        m_saveName.clear();
        m_titleNote.clear();
        clearEditors();
        updateTitle();
    });
}

void TMainForm::OpenClick()
{
    ExceptionBox::guard(this, [this] {
        if (!promptStep())
            return;
        const QString chosen = FileDialogs::choose(OpenDialog2);
        // Cancelled, the document keeps its history.
        if (chosen.isEmpty())
            return;
        // The user gave up the edits at the prompt: a file that cannot be read leaves
        // the document as it was, but no longer modified.
        if (!readStyleSheet(chosen))
            m_session.giveUpEdits();
    });
}

void TMainForm::reopenWithEncoding(TextFile::Encoding encoding)
{
    ExceptionBox::guard(this, [this, encoding] {
        if (!m_document.hasFile())
            return;
        const QString path = m_document.currentFileName();
        if (m_document.isModified() && !Messages::mayReopenLosingEdits(this, path, encoding.name()))
            return;
        // A file the encoding cannot read is said and leaves the document as it was.
        if (!readStyleSheet(path, encoding))
            return;
        StatusNote->setText(QStringLiteral("%1 was read again as %2.").arg(path, encoding.name()));
    });
}

void TMainForm::FinishClick()
{
    ExceptionBox::guard(this, [this] { saveDocument(); });
}

void TMainForm::SaveAsClick()
{
    ExceptionBox::guard(this, [this] { saveDocumentAs(); });
}

void TMainForm::PreviewClick()
{
    if (!m_preview->preview())
        QMessageBox::warning(this, QStringLiteral("Preview"), m_preview->errorString());
}

void TMainForm::PreviewPageClick()
{
    QFileDialog *dialog = FileDialogs::openDialog(
        this, QStringLiteral("Page to Preview (Cancel: the sample page)"),
        QStringLiteral("HTML pages (*.html;*.htm)|*.html;*.htm"), QStringLiteral("Preview"));
    const QString page = FileDialogs::choose(dialog);
    dialog->deleteLater();
    if (!m_preview->previewPage(page))
        QMessageBox::warning(this, QStringLiteral("Preview"), m_preview->errorString());
}

void TMainForm::inspected(const QByteArray &report)
{
    MatchedRules rules;
    if (!MatchedRules::fromJson(report, rules))
        return;
    Matched->show();
    const QModelIndex first = Matched->showReport(rules);
    if (first.isValid()) {
        Elements->scrollTo(first);
        Elements->setCurrentIndex(first);
    }
}

void TMainForm::CodeClick()
{
    ExceptionBox::guard(this, [this] {
        TCodeForm form(this);
        form.setReadBack([this](const QString &path) {
            readStyleSheet(path, std::nullopt, DocumentSession::Start::KeepModified);
        });
        form.setCatalogue(&m_catalogue);
        // Standard CSS keeps the file's line break; the editor's own form is CR LF.
        const QString lineBreak = m_document.form() == DocumentForm::Standard
                                      ? m_document.elements().source().lineBreak
                                      : QStringLiteral("\r\n");
        form.start(m_document.currentFileName(), StyleSheetWriter::styleSheetText(m_document),
                   m_document.encoding(), m_document.byteOrderMark(), lineBreak);
        // The code window's own saves are no other program's: the file is read back
        // when it closes.
        const QSignalBlocker quiet(&m_session);
        form.exec();
    });
}

// ---------------------------------------------------------------------------------
// Element and attribute trees

void TMainForm::connectTrees()
{
    connect(Elements, &ElementsTreeView::currentNodeChanged, this, &TMainForm::ElementsClick);
    // Delete follows the selection and what the selected node holds.
    connect(Elements, &ElementsTreeView::currentNodeChanged, this, &TMainForm::updateDeleteAction);
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_document.elements(), changed, this, &TMainForm::updateDeleteAction);
    connect(&m_document.elements(), &QAbstractItemModel::modelReset, this, &TMainForm::updateDeleteAction);
    connect(&m_document.elements(), &QAbstractItemModel::layoutChanged, this, &TMainForm::updateDeleteAction);
    // Return or Escape in a label edit gives the keyboard back to its tree, so that the
    // arrows move at once (a label left by a click elsewhere leaves the focus there).
    for (QTreeView *tree : std::initializer_list<QTreeView *>{Elements, Properties}) {
        connect(tree->itemDelegate(), &QAbstractItemDelegate::closeEditor, tree,
                [tree](QWidget *, QAbstractItemDelegate::EndEditHint hint) {
                    if (hint == QAbstractItemDelegate::NoHint)
                        return;
                    // Not when a label edit opened meanwhile (a New command typed right
                    // after Return): taking the focus from it would close it.
                    QTimer::singleShot(0, tree, [tree] {
                        if (!QApplication::activeModalWidget() && !tree->indexWidget(tree->currentIndex()))
                            tree->setFocus(Qt::OtherFocusReason);
                    });
                });
    }
    // A click that leaves the current node in place runs the click steps as well.
    Elements->viewport()->installEventFilter(this);
    connect(Elements, &ElementsTreeView::catalogueNodeDropped, this, &TMainForm::ElementsDragDrop);
    // A rule or declaration dragged within the tree moves there, where CSS lets it stand.
    connect(Elements, &ElementsTreeView::itemMoved, this,
            [this](const QModelIndex &item, const QModelIndex &target, DocumentEdits::DropPlace place) {
                QString refusal;
                QModelIndex moved;
                ExceptionBox::guard(
                    this, [&] { moved = DocumentEdits::move(m_document, item, target, place, refusal); });
                if (moved.isValid()) {
                    Elements->scrollTo(moved);
                    Elements->setCurrentIndex(moved);
                } else if (!refusal.isEmpty()) {
                    showRefusal(refusal);
                }
            });
    connect(Elements, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        ElementsPopupPopup();
        ElementsPopup->popup(Elements->viewport()->mapToGlobal(position));
    });
    connect(NewElement1, &QAction::triggered, this, &TMainForm::NewElement1Click);
    connect(NewProperty1, &QAction::triggered, this, &TMainForm::NewProperty1Click);
    connect(NewRule1, &QAction::triggered, this, &TMainForm::NewRule1Click);
    // A New command's label edit left without a change takes the new node away again.
    connect(
        Elements->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
        [this](QWidget *, QAbstractItemDelegate::EndEditHint hint) { newNodeEditClosed(hint); },
        Qt::QueuedConnection);
    connect(DeleteProperty1, &QAction::triggered, this, &TMainForm::DeleteProperty1Click);
    connect(StandardCss1, &QAction::triggered, this, &TMainForm::StandardCss1Click);
    // A label edited in place is a change of the style sheet, made through the
    // document's door like every other edit (the catalogue's labels are not part of it).
    Elements->setLabelCheck(
        [this](const QModelIndex &index, const QString &text) { return labelRefusal(index, text); });
    m_document.elements().setEditHandler([this](const QModelIndex &index, const QString &text) {
        // A label that would not read back as what the node is (one declaration, one
        // selector or at-rule a browser keeps) is refused with the reason; the edit
        // opens again on the typed text for the user to mend it.
        const QString problem = labelRefusal(index, text);
        if (!problem.isEmpty()) {
            const QPersistentModelIndex node(index);
            m_labelRefusalOpen = true;
            QTimer::singleShot(0, this, [this, node, text, problem] {
                Messages::labelRefused(this, problem);
                m_labelRefusalOpen = false;
                if (!node.isValid())
                    return;
                Elements->setCurrentIndex(node);
                Elements->edit(node);
                if (auto *editor = qobject_cast<QLineEdit *>(Elements->indexWidget(node)))
                    editor->setText(text);
            });
            return false;
        }
        bool done = false;
        ExceptionBox::guard(this, [&] { done = DocumentEdits::editLabel(m_document, index, text); });
        return done;
    });
    // After an undo or redo the selection follows the node the step changed, and the
    // editors show its restored value.
    m_document.setFocusListener([this](const QModelIndex &index) {
        if (index.isValid()) {
            Elements->scrollTo(index);
            Elements->setCurrentIndex(index);
            ElementsClick();
        }
    });
    QUndoStack *history = &m_document.undoStack();
    for (auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged})
        connect(history, signal, this, &TMainForm::updateUndoActions);
    for (auto signal : {&QUndoStack::undoTextChanged, &QUndoStack::redoTextChanged})
        connect(history, signal, this, &TMainForm::updateUndoActions);
    updateUndoActions();
    connect(Undo1, &QAction::triggered, this,
            [this] { ExceptionBox::guard(this, [this] { m_document.undoStack().undo(); }); });
    connect(Redo1, &QAction::triggered, this,
            [this] { ExceptionBox::guard(this, [this] { m_document.undoStack().redo(); }); });
    connect(ShowUnusedElements1, &QAction::triggered, this, &TMainForm::ShowUnusedElements1Click);
    // Which nodes hold declarations changes with every insertion and removal; one
    // refresh follows each burst of changes (a read inserts many rows).
    m_unusedRefresh = new QTimer(this);
    m_unusedRefresh->setSingleShot(true);
    m_unusedRefresh->setInterval(0);
    connect(m_unusedRefresh, &QTimer::timeout, this, &TMainForm::refreshUnusedElements);
    const StyleSheetModel *elements = &m_document.elements();
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(elements, changed, m_unusedRefresh, qOverload<>(&QTimer::start));
    connect(elements, &QAbstractItemModel::modelReset, m_unusedRefresh, qOverload<>(&QTimer::start));
    connect(elements, &QAbstractItemModel::layoutChanged, m_unusedRefresh, qOverload<>(&QTimer::start));
}

void TMainForm::watchFocus()
{
    // The filter goes on the focus widget and the widgets around it: an editable
    // drop-down box answers for its own text field.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        for (QWidget *widget = now; widget && widget != this && isAncestorOf(widget);
             widget = widget->parentWidget())
            widget->installEventFilter(this);
    });
}

bool TMainForm::keyStaysInWidget(QWidget *focus, const QKeySequence &key) const
{
    const auto *combo = qobject_cast<const QComboBox *>(focus);
    const bool textField = qobject_cast<const QLineEdit *>(focus) || (combo && combo->isEditable());
    if (!textField)
        return false;
    // Del deletes a character in every text field.
    if (key == QKeySequence(Qt::Key_Delete))
        return true;
    // A label being edited in a tree keeps its own undo until it is taken; the value
    // editors write every change into the document at once, so the document's history
    // is their undo.
    const bool labelEdit = Elements->isAncestorOf(focus) || Properties->isAncestorOf(focus);
    return labelEdit && (Undo1->shortcuts().contains(key) || Redo1->shortcuts().contains(key));
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) && watched != this &&
        watched->isWidgetType()) {
        // A text field asks for the keys of its own editing (Ctrl+Z, Ctrl+E for the end
        // of the line...) before the window's shortcuts see them; a key that is one of
        // the window's commands goes to the command instead, wherever the focus is.
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        QWidget *focus = QApplication::focusWidget();
        bool command = false;
        for (const QAction *action : actions())
            command = command || action->shortcuts().contains(pressed);
        if (command && focus && !keyStaysInWidget(focus, pressed)) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->ignore();
                return true;
            }
            // A key press of a command that is disabled now (nothing to undo) does not
            // fall through to the text field's own history.
            if (Undo1->shortcuts().contains(pressed) || Redo1->shortcuts().contains(pressed))
                return true;
        }
    }
    if (watched == Elements->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_currentAtPress = Elements->currentIndex();
            // A press on empty space selects nothing (the view would keep the current
            // node without showing it selected).
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (!Elements->indexAt(mouse->position().toPoint()).isValid())
                Elements->setCurrentIndex(QModelIndex());
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            const bool stayed = m_currentAtPress == QPersistentModelIndex(Elements->currentIndex());
            m_currentAtPress = QPersistentModelIndex();
            if (stayed)
                ElementsClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

QModelIndex TMainForm::selectedNode() const
{
    return Elements->currentIndex();
}

void TMainForm::disableEditors()
{
    for (QWidget *editor :
         std::initializer_list<QWidget *>{ColorButton, FileEdit, FontCombo, Numbers, OptionsCombo, Browse})
        editor->setEnabled(false);
    ColorInfo->clear();
    m_presetNode = QPersistentModelIndex();
    m_presetKind = KindNone;
    // A disabled number box shows no number of an earlier declaration (with no node
    // preset, emptying it writes nothing).
    Numbers->clear();
    Numbers->setUnit(QString());
}

void TMainForm::clearEditors()
{
    // Disabled first: with no node preset, the editors' change events write nothing.
    disableEditors();
    ColorButton->setColor(0);
    ColorButton->setOtherColor(WidgetColors::ButtonFace);
    FontCombo->setCurrentIndex(-1);
    FontCombo->clearEditText();
    Numbers->clear();
    OptionsCombo->clear();
    OptionsCombo->clearEditText();
    FileEdit->clear();
}

void TMainForm::ElementsClick()
{
    // Disabling the editor that has the focus hands the focus on; when the same editor
    // is enabled again for the node (an undo typed in it), it takes the focus back.
    QWidget *focus = QApplication::focusWidget();
    disableEditors();
    ExceptionBox::guard(this, [this] { clickStep(); });
    if (focus && focus != QApplication::focusWidget() && isAncestorOf(focus) && focus->isEnabled() &&
        focus->isVisible())
        focus->setFocus(Qt::OtherFocusReason);
}

void TMainForm::clickStep()
{
    // A new selection starts a new editing session: the writes of one merge into one
    // step of the history.
    m_editSession = m_editSession == std::numeric_limits<int>::max() ? 1 : m_editSession + 1;
    const QModelIndex selected = selectedNode();
    // The property's kind, or the value's own where the property names no editor for it.
    const DocumentEdits::EditorPreset preset = DocumentEdits::presetFor(m_document, m_catalogue, selected);
    const ValueKind kind = preset.kind;
    if (kind == KindNone)
        return;
    m_presetNode = selected;
    m_presetKind = kind;
    m_presetFromValue = kind != DocumentEdits::editorKind(selected);
    switch (kind) {
    case KindColor:
        ColorButton->setEnabled(true);
        break;
    case KindUrl:
        FileEdit->setEnabled(true);
        Browse->setEnabled(true);
        break;
    case KindFont:
        FontCombo->setEnabled(true);
        break;
    case KindNumber:
        Numbers->setEnabled(true);
        break;
    case KindChoice:
        OptionsCombo->setEnabled(true);
        break;
    default:
        return;
    }

    // Presetting the colour button, the spin edit and the file box fires their change
    // events when the content differs, which writes the value back in the editor's
    // form; the two drop-down boxes report only the user's edits.
    const QString value = m_document.elements().attributeOf(selected)->value().toString();
    const DocumentForm form = m_document.form();
    m_presetting = true;
    switch (preset.kind) {
    case KindColor: {
        // Standard CSS: the value's first colour in any form. The editor's own form
        // reads the colours it always has. Text without a colour (inherit, var(),
        // currentcolor, a typo) shows "no colour" and writes nothing.
        uint32_t color = COLORS_NONE;
        if (form == DocumentForm::Standard) {
            const ValueText::ColourPart part = ValueText::firstColour(value, ValueText::ColourSearch::Plain);
            if (part.found)
                color = ColorsToBgr(&part.colour.color);
        } else {
            color = StrToColor(ValueText::colourPreset(value, form).toUtf8().constData());
        }
        if (color != COLORS_NONE) {
            ColorButton->setColor(color);
            // The colour dialog behind "Other" starts at the value's colour.
            ColorButton->setOtherColor(color);
        } else {
            ColorButton->setNoColor();
        }
        ColorInfo->showValue(value, form == DocumentForm::Standard);
        break;
    }
    case KindUrl:
        FileEdit->setText(ValueText::filePreset(value));
        break;
    case KindFont:
        FontCombo->setEditText(ValueText::fontPreset(value, form));
        break;
    case KindNumber:
        // The first number of the value, with its decimals, and its unit; empty when it
        // has none.
        Numbers->setUnit(preset.unit);
        Numbers->setText(ValueText::numberPreset(value));
        break;
    case KindChoice:
        OptionsCombo->clear();
        OptionsCombo->addItems(preset.choices);
        OptionsCombo->setEditText(ValueText::choicePreset(value, form));
        break;
    default:
        break;
    }
    m_presetting = false;
}

void TMainForm::ElementsDragDrop(const QModelIndex &target, const CatalogueDrag::Node &node)
{
    const QString refusal = DocumentEdits::declarationsRefusal(m_document, target);
    if (!refusal.isEmpty()) {
        showRefusal(refusal);
        return;
    }
    ExceptionBox::guard(this, [&] {
        DocumentEdits::dropOnElements(m_document, target, node.label, node.kind,
                                      node.isChoice() ? node.choiceParentLabel : QString());
    });
}

void TMainForm::ElementsPopupPopup()
{
    updateDeleteAction();
    StandardCss1->setChecked(m_document.form() == DocumentForm::Standard);
    updateUndoActions();
}

void TMainForm::updateDeleteAction()
{
    const DocumentEdits::Deletion deletion = DocumentEdits::deletionFor(m_document, selectedNode());
    DeleteProperty1->setEnabled(deletion != DocumentEdits::Deletion::None);
    switch (deletion) {
    case DocumentEdits::Deletion::Rule:
        DeleteProperty1->setText(QStringLiteral("&Delete Rule"));
        break;
    case DocumentEdits::Deletion::Declarations:
        DeleteProperty1->setText(QStringLiteral("&Delete Properties"));
        break;
    default:
        DeleteProperty1->setText(QStringLiteral("&Delete Property"));
        break;
    }
}

void TMainForm::updateUndoActions()
{
    const QUndoStack &history = m_document.undoStack();
    Undo1->setEnabled(history.canUndo());
    Undo1->setText(history.canUndo() ? QStringLiteral("&Undo ") + history.undoText()
                                     : QStringLiteral("&Undo"));
    Redo1->setEnabled(history.canRedo());
    Redo1->setText(history.canRedo() ? QStringLiteral("&Redo ") + history.redoText()
                                     : QStringLiteral("&Redo"));
}

void TMainForm::StandardCss1Click()
{
    ExceptionBox::guard(this, [this] {
        DocumentEdits::setForm(m_document, m_catalogue,
                               StandardCss1->isChecked() ? DocumentForm::Standard : DocumentForm::Editor);
    });
}

void TMainForm::ShowUnusedElements1Click()
{
    refreshUnusedElements();
}

void TMainForm::refreshUnusedElements()
{
    const StyleSheetModel &model = m_document.elements();
    const QModelIndex root = model.rootIndex();
    const bool showAll = ShowUnusedElements1->isChecked();
    const int fixed = m_document.fixedElementCount();
    for (int i = 0; i < model.elementCount(); ++i) {
        const QModelIndex node = model.elementIndex(i);
        const bool hide = !showAll && i < fixed && model.rowCount(node) == 0;
        if (Elements->isRowHidden(node.row(), root) != hide)
            Elements->setRowHidden(node.row(), root, hide);
    }
    // A node that went out of sight hands the selection to the root.
    const QModelIndex current = Elements->currentIndex();
    if (current.isValid() && current.parent() == root && Elements->isRowHidden(current.row(), root))
        Elements->setCurrentIndex(root);
}

void TMainForm::NewElement1Click()
{
    QModelIndex made;
    ExceptionBox::guard(this, [&] { made = DocumentEdits::newElement(m_document); });
    showNewNode(made);
}

void TMainForm::NewProperty1Click()
{
    const QString refusal = DocumentEdits::declarationsRefusal(m_document, selectedNode());
    if (!refusal.isEmpty()) {
        showRefusal(refusal);
        return;
    }
    QModelIndex made;
    ExceptionBox::guard(this, [&] { made = DocumentEdits::newProperty(m_document, selectedNode()); });
    showNewNode(made);
}

void TMainForm::NewRule1Click()
{
    QModelIndex made;
    ExceptionBox::guard(this, [&] { made = DocumentEdits::newRule(m_document, selectedNode(), QString()); });
    showNewNode(made);
}

void TMainForm::newAtRule(const QString &label, NodeKind kind)
{
    QModelIndex made;
    ExceptionBox::guard(this,
                        [&] { made = DocumentEdits::newRule(m_document, selectedNode(), label, 0, kind); });
    showNewNode(made);
}

void TMainForm::showNewNode(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    for (QModelIndex around = index.parent(); around.isValid(); around = around.parent())
        Elements->expand(around);
    Elements->scrollTo(index);
    Elements->setCurrentIndex(index);
    Elements->setFocus(Qt::OtherFocusReason);
    m_newNode = index;
    m_newNodeLabel = index.data(Qt::EditRole).toString();
    m_newNodeStep = m_document.undoStack().index();
    Elements->edit(index);
}

void TMainForm::newNodeEditClosed(QAbstractItemDelegate::EndEditHint hint)
{
    if (!m_newNode.isValid() || m_labelRefusalOpen || Elements->indexWidget(m_newNode))
        return; // no new node, or its edit opens again after a refusal
    const QPersistentModelIndex node = m_newNode;
    m_newNode = QPersistentModelIndex();
    QUndoStack &history = m_document.undoStack();
    if (hint == QAbstractItemDelegate::RevertModelCache &&
        node.data(Qt::EditRole).toString() == m_newNodeLabel && history.index() == m_newNodeStep) {
        ExceptionBox::guard(this, [&] { history.undo(); });
    }
}

QString TMainForm::labelRefusal(const QModelIndex &index, const QString &text)
{
    return DocumentEdits::labelRefusal(m_document, index, text, m_marks->check());
}

void TMainForm::showRefusal(const QString &reason)
{
    QTimer::singleShot(0, this, [this, reason] { Messages::labelRefused(this, reason); });
}

void TMainForm::DeleteProperty1Click()
{
    ExceptionBox::guard(this, [this] { DocumentEdits::deleteSelected(m_document, selectedNode()); });
}

void TMainForm::EditLabel1Click()
{
    QTreeView *tree = Properties->hasFocus() ? static_cast<QTreeView *>(Properties) : Elements;
    const QModelIndex current = tree->currentIndex();
    if (!current.isValid())
        return;
    tree->setFocus(Qt::ShortcutFocusReason);
    tree->scrollTo(current);
    tree->edit(current);
}

void TMainForm::KeyboardShortcuts1Click()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("KeyboardShortcuts"));
    dialog.setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    auto *table = new QTableWidget(0, 2, &dialog);
    table->setHorizontalHeaderLabels({QStringLiteral("Command"), QStringLiteral("Keys")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const QAction *command : commands()) {
        const int row = table->rowCount();
        table->insertRow(row);
        QStringList keys;
        for (const QKeySequence &key : command->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        table->setItem(row, 0, new QTableWidgetItem(command->iconText()));
        table->setItem(row, 1, new QTableWidgetItem(keys.join(QStringLiteral(", "))));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(360, 420);
    dialog.exec();
}

void TMainForm::About1Click()
{
    QMessageBox::about(
        this, QStringLiteral("About Loomwright CSS"),
        QStringLiteral("<p><b>Loomwright CSS %1</b><br>A style-sheet editor.</p>"
                       "<p>Data it carries:</p><ul>"
                       "<li>CSS properties, value syntaxes, selectors and descriptors: derived from "
                       "mdn-data, CC0 1.0 Universal (public domain dedication).</li>"
                       "<li>HTML attributes by element: derived from html-element-attributes, MIT "
                       "licence.</li>"
                       "<li>Browser support (Baseline statuses): derived from web-features, "
                       "Apache License 2.0.</li>"
                       "<li>Element and value-kind pictures: drawn for this program.</li></ul>"
                       "<p>Built with Qt %2 (GNU LGPL version 3).</p>")
            .arg(QStringLiteral(LW_VERSION), QString::fromLatin1(qVersion())));
}

// ---------------------------------------------------------------------------------
// Value editors

void TMainForm::connectEditors()
{
    connect(ColorButton, &TZEBColorButton::OnColorChange, this, &TMainForm::ColorButtonColorChange);
    // A form chosen in the colour button's menu is a step of its own in the history.
    connect(ColorInfo, &ColourTool::formChosen, this, [this](ValueText::ColourForm colourForm) {
        const auto nextSession = [this] {
            m_editSession = m_editSession == std::numeric_limits<int>::max() ? 1 : m_editSession + 1;
        };
        nextSession();
        writeEditorValue(KindColor, [&](QStringView old) -> std::optional<QString> {
            return ValueText::colourInForm(old, colourForm, DocumentEdits::hexUpperCase(m_document));
        });
        nextSession();
        if (const AttributeNode *attribute = m_document.elements().attributeOf(m_presetNode))
            ColorInfo->showValue(attribute->value(), m_document.form() == DocumentForm::Standard);
    });
    // The drop-down boxes: typing and picking an entry, never the program's own settings.
    connect(FontCombo->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::FontComboChange);
    connect(FontCombo, &QComboBox::textActivated, this, &TMainForm::FontComboChange);
    connect(OptionsCombo->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::OptionsComboChange);
    connect(OptionsCombo, &QComboBox::textActivated, this, &TMainForm::OptionsComboChange);
    connect(Numbers, &TCSpinEdit::OnChange, this, &TMainForm::NumbersChange);
    connect(FileEdit, &QLineEdit::textChanged, this, &TMainForm::FileEditChange);
    connect(Browse, &QPushButton::clicked, this, &TMainForm::BrowseClick);
}

void TMainForm::writeEditorValue(ValueKind kind,
                                 const std::function<std::optional<QString>(QStringView)> &valueOf)
{
    // In standard CSS a click only presets the editors; it never rewrites a label. Nor
    // does it in the editor's form when the value, not the property, chose the editor.
    if (m_presetting && (m_document.form() == DocumentForm::Standard || m_presetFromValue))
        return;
    ExceptionBox::guard(this, [&] {
        const QModelIndex selected = selectedNode();
        if (!selected.isValid() || QPersistentModelIndex(selected) != m_presetNode || m_presetKind != kind)
            return;
        const AttributeNode *attribute = m_document.elements().attributeOf(selected);
        if (!attribute)
            return;
        const std::optional<QString> value = valueOf(attribute->value());
        // A click's preset writes only what it changes (the editor's own form turns
        // "7" into 7, a file into its url(), a colour into #RRGGBB).
        if (value && !(m_presetting && *value == attribute->value()))
            DocumentEdits::writeValue(m_document, selected, *value, m_editSession);
    });
}

void TMainForm::ColorButtonColorChange()
{
    // The colour dialog behind "Other" starts at the button's colour, also after a
    // colour was picked from the palette.
    ColorButton->setOtherColor(ColorButton->color());
    // A palette colour and one from "Other" alike: hex letters in the case most of the
    // document's hex colours have.
    const bool upperHex = DocumentEdits::hexUpperCase(m_document);
    QString hex = QString::fromLatin1(ColorToHex(ColorButton->color())); // #RRGGBB
    if (!upperHex)
        hex = hex.toLower();
    const uint rgb = hex.mid(1).toUInt(nullptr, 16);
    const bool standard = m_document.form() == DocumentForm::Standard;
    writeEditorValue(KindColor, [&](QStringView old) -> std::optional<QString> {
        // Standard CSS keeps the colour's form, its alpha and the rest of the value.
        if (standard)
            return ValueText::colourPicked(old, int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF),
                                           upperHex);
        return ValueText::colourValue(hex, old, m_document.form());
    });
    if (const AttributeNode *attribute = m_document.elements().attributeOf(m_presetNode))
        ColorInfo->showValue(attribute->value(), standard);
}

void TMainForm::FontComboChange()
{
    const QString family = FontCombo->currentText();
    writeEditorValue(KindFont, [&](QStringView old) -> std::optional<QString> {
        return ValueText::fontValue(old, family, m_document.form());
    });
}

void TMainForm::NumbersChange()
{
    // The first number of the value changes; its unit, its decimals and the rest of the
    // value stay. An editor without a number (emptied, or a value that has none) writes
    // nothing.
    if (!m_presetNode.isValid())
        return;
    const std::optional<double> number = Numbers->number();
    writeEditorValue(KindNumber, [&](QStringView) -> std::optional<QString> {
        if (!number)
            return std::nullopt;
        return DocumentEdits::numberWritten(m_document, m_presetNode, *number, m_marks->check());
    });
}

void TMainForm::OptionsComboChange()
{
    const QString word = OptionsCombo->currentText();
    writeEditorValue(KindChoice, [&](QStringView old) -> std::optional<QString> {
        return ValueText::choiceValue(old, word, m_document.form());
    });
}

void TMainForm::FileEditChange()
{
    const QString path = FileEdit->text();
    writeEditorValue(KindUrl, [&](QStringView old) -> std::optional<QString> {
        return ValueText::fileValue(old, path, m_document.currentFileName(), m_document.form());
    });
}

void TMainForm::BrowseClick()
{
    ExceptionBox::guard(this, [this] {
        const QString chosen = FileDialogs::choose(OpenDialog1);
        if (!chosen.isEmpty())
            FileEdit->setText(QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath()));
    });
}
