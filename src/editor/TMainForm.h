#pragma once

#include "Catalogue.h"
#include "CatalogueDrag.h"
#include "Document.h"
#include "DocumentSession.h"
#include "FileDialogs.h"
#include "ImageList.h"
#include "PictureIcons.h"
#include "TextFile.h"
#include "ValueKind.h"

#include <QAbstractItemDelegate>
#include <QLabel>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class AttributeListModel;
class CheckMarks;
class ElementsTreeView;
class MatchedRulesPane;
class PreviewController;
class ProblemsPane;
class PropertiesTreeView;
class QAction;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSplitter;
class QTimer;
class QTreeView;
class RecoveryGuard;
class TCSpinEdit;
class TZEBColorButton;
class ColourTool;

// The main window: the style sheet as the `Elements` tree, the attribute catalogue as
// the `Properties` tree, the value editors, and the bottom row of file commands. It
// owns the document, the catalogue and the image lists; the handlers below read like
// short algorithms over them.
class TMainForm : public QWidget
{
    Q_OBJECT
public:
    // Start-up progress on the start-up screen: a text and a position from 0 to 50
    // (a negative position leaves the bar as it is).
    using Progress = std::function<void(const QString &text, int position)>;

    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Where the catalogue tables lie; the program's own folder unless set.
    void setCatalogueFolder(const QString &folder) { m_catalogueFolder = folder; }
    // The form new documents take, over the stored setting (set before FormCreate).
    void setNewDocumentForm(std::optional<DocumentForm> form) { m_newFormOverride = form; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // The style sheet named on the command line, opened at the first activation.
    void setPendingCommandLineFile(const QString &path) { m_pendingCommandLineFile = path; }
    const QString &pendingCommandLineFile() const { return m_pendingCommandLineFile; }

    Document &document() { return m_document; }
    Catalogue &catalogue() { return m_catalogue; }
    AttributeListModel &attributeList() { return *m_attributeList; }
    const PictureIcons &elementIcons() const { return m_elementIcons; }
    // Keeps the unsaved document safe from a crash and offers it back at the next start.
    RecoveryGuard &recovery() { return *m_recovery; }

    // Loads the catalogue into the trees, fills the font list and places the window as
    // it stood when it last closed (see WindowPlacement). Gives false when the
    // catalogue tables are missing: the user has been told, and the program ends.
    bool FormCreate();
    // The first activation adds the pseudo-class nodes and opens the command-line
    // file; later activations do nothing.
    void FormActivate();

    // The bottom row (and its keys: Ctrl+Q, Ctrl+N, Ctrl+O, Ctrl+S, Ctrl+Shift+S, Ctrl+E).
    void CloseClick();
    void NewClick();
    void OpenClick();
    void FinishClick();
    // Save As: asks for a name (proposing the current one) and saves under it; the
    // document then has that file.
    void SaveAsClick();
    void CodeClick();
    // Preview (F5): the style sheet live in the user's browser, on the page chosen for it
    // or the built-in sample page; Shift+F5 chooses the page (an HTML file; Cancel: the
    // sample page).
    void PreviewClick();
    void PreviewPageClick();
    PreviewController *preview() { return m_preview; }
    // A page's report of a click in Inspect mode (F6): its matched rules listed in the
    // Matched rules pane, the first one selected in the tree.
    void inspected(const QByteArray &report);

    // The element tree. The click steps run on every change of the current node
    // (click, keyboard, removal, a new document) and on a click that leaves it in
    // place: they enable the editor of the selected attribute node's kind and preset
    // it from the node's value.
    void ElementsClick();
    // A catalogue node dropped on the element tree at `target` (invalid: empty space).
    void ElementsDragDrop(const QModelIndex &target, const CatalogueDrag::Node &node);
    // Before the context menu opens: the check state of Standard CSS and the texts of
    // Undo, Redo and Delete.
    void ElementsPopupPopup();
    // Delete (Del) is enabled whenever the selection holds something to delete, and
    // names it: a declaration, a rule with everything in it, or the declarations of one
    // of the catalogue's nodes (DocumentEdits::deletionFor).
    void updateDeleteAction();
    void NewElement1Click();
    void NewProperty1Click();
    void DeleteProperty1Click();
    // "New Rule" and the at-rules of "New At-rule": a node in the selected block or
    // rule where CSS lets it stand, else at the end of the sheet; selected, in view,
    // with its label in edit (see showNewNode).
    void NewRule1Click();
    void newAtRule(const QString &label, NodeKind kind);
    // F2: edits the label of the current node of the tree that has the focus (the
    // element tree when neither has it).
    void EditLabel1Click();
    // Help: every command with its keys, taken from the actions themselves.
    void KeyboardShortcuts1Click();
    // Help: the version and the licences of the data the program carries.
    void About1Click();
    // Every command of the window in menu order (each one action, with its keys).
    QList<QAction *> commands() const;
    // "Standard CSS": switches the document between standard CSS (name: value) and the
    // editor's own form (name=value); an edit, so the next Save writes the chosen form.
    void StandardCss1Click();
    // Undo and Redo name the step they would take (enabled only when there is one).
    void updateUndoActions();
    // "Show Unused Elements" (on at start): when off, the catalogue's element nodes and
    // the pseudo-class nodes that hold no declaration are hidden, so that the style
    // sheet's own rules stand together. Followed after every change of the tree.
    void ShowUnusedElements1Click();
    // The node the tree commands and the value editors work on: the current node of
    // `Elements` (none after a click on empty space).
    QModelIndex selectedNode() const;

    // The value editors: each change writes the selected attribute node's name and
    // "=" followed by the value in the editor's form, and marks the document modified.
    void ColorButtonColorChange();
    void FontComboChange();
    void NumbersChange();
    void OptionsComboChange();
    void FileEditChange();
    // Lets the user pick a file for the file editor, which then takes its full path.
    void BrowseClick();

    // Reads a style sheet into the document with the wait cursor, letting the windows
    // repaint; on success the title and the save dialog's proposed name follow the
    // file, on failure the reader's message is shown and nothing changes. A file above
    // the size limit (the setting "OpenSizeLimitKB", 512 MB when unset) is read only when
    // the user agrees; one above the progress size is read under a progress dialog whose
    // Cancel stops the reading and leaves the document as it was. `encoding`: read in
    // the encoding the user chose, not the one decided from the bytes. `start`: a fresh
    // start (Open) or a read-back from the code window (see DocumentSession::Start).
    bool readStyleSheet(const QString &path, std::optional<TextFile::Encoding> encoding = std::nullopt,
                        DocumentSession::Start start = DocumentSession::Start::Fresh);
    // Files larger than this are read under a progress dialog (8 MB).
    void setProgressSize(qint64 bytes) { m_progressSize = bytes; }
    // Reads the document's file again in the chosen encoding (asking first when the
    // document holds unsaved changes); the next Save writes that encoding.
    void reopenWithEncoding(TextFile::Encoding encoding);
    void expandReadDocument();

    // Trees
    ElementsTreeView *Elements = nullptr;
    PropertiesTreeView *Properties = nullptr;
    // Between the trees: the boundary the user moves.
    QSplitter *Splitter1 = nullptr;
    // The menu bar above the trees: File, Edit, View, Help (see menuCommands).
    QMenuBar *MenuBar = nullptr;
    // The element tree's context menu: Undo, Redo, New Element, New Property, Delete
    // Property (Del), Standard CSS (checkable), Show Unused Elements (checkable).
    QMenu *ElementsPopup = nullptr;
    // Every command is one action with its keys, shared by the menu bar, the context
    // menu and the window-wide shortcut.
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *SaveAs1 = nullptr;
    QAction *Close1 = nullptr;
    QAction *EditCode1 = nullptr;
    QAction *EditLabel1 = nullptr;
    QAction *KeyboardShortcuts1 = nullptr;
    QAction *About1 = nullptr;
    QAction *Preview1 = nullptr;     // F5
    QAction *PreviewPage1 = nullptr; // Shift+F5
    QAction *Inspect1 = nullptr;     // F6, checkable
    QAction *Undo1 = nullptr;
    QAction *Redo1 = nullptr;
    QAction *NewElement1 = nullptr;
    QAction *NewRule1 = nullptr;
    QMenu *NewAtRule1 = nullptr; // one entry per at-rule; Ctrl+Shift+R opens it at the tree
    QAction *NewProperty1 = nullptr;
    QAction *DeleteProperty1 = nullptr;
    QAction *StandardCss1 = nullptr;
    QAction *ShowUnusedElements1 = nullptr;
    // File > "Reopen with Encoding": one checkable action per encoding, the document's
    // checked; disabled while the document has no file.
    QMenu *ReopenWithEncoding1 = nullptr;

    // Value editors (all disabled until an attribute node is clicked)
    TZEBColorButton *ColorButton = nullptr;
    // Beside the colour button: contrast, outside-sRGB note and the button's form menu.
    ColourTool *ColorInfo = nullptr;
    QComboBox *FontCombo = nullptr;
    TCSpinEdit *Numbers = nullptr;
    QComboBox *OptionsCombo = nullptr;
    QLineEdit *FileEdit = nullptr;
    QPushButton *Browse = nullptr;

    // Bottom row
    QPushButton *Close = nullptr;
    QLabel *StatusNote = nullptr;        // what happened to the file without a question
    ProblemsPane *Problems = nullptr;    // every finding of the check
    MatchedRulesPane *Matched = nullptr; // the rules of the element clicked in Inspect mode
    QPushButton *New = nullptr;
    QPushButton *Open = nullptr;
    QPushButton *Finish = nullptr;
    QPushButton *SaveAs = nullptr;
    QPushButton *Code = nullptr;
    QPushButton *Preview = nullptr;

    // Dialogs, each made at its first use
    LazyFileDialog OpenDialog1; // the file editor's Browse
    LazyFileDialog OpenDialog2; // Open
    LazyFileDialog SaveDialog1; // Save

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // The close box, the system menu and Alt+F4 ask about unsaved changes like Close.
    // A window that closes stores where it stands.
    void closeEvent(QCloseEvent *event) override;

private:
    void createLayout();
    void createReopenMenu();
    QWidget *createTreePanel(const QString &heading, QTreeView *tree);
    QWidget *createEditSettings();
    QWidget *createBottomPanel();
    void createDialogs();
    QAction *makeCommand(const QString &text, const QList<QKeySequence> &keys);
    void createActions();
    // The menus and their commands in order; a null action is a separator.
    std::vector<std::pair<QString, QList<QAction *>>> menuCommands() const;
    void createMenuBar();
    // Every widget of the window that takes the focus gets the window's event filter,
    // which keeps the text fields from taking the window's command keys.
    void watchFocus();
    // Whether a key the focus widget asks to handle itself stays with it (true) or
    // goes to the window's command of that key.
    bool keyStaysInWidget(QWidget *focus, const QKeySequence &key) const;
    void connectTrees();
    void connectEditors();

    void disableEditors();
    // Empties and disables every value editor (a new or newly read document).
    void clearEditors();
    void refreshUnusedElements();
    // A node just made by a New command: its parent opened, selected, in view, its
    // label in edit. Left with its first label unchanged (Escape), the node goes again.
    void showNewNode(const QModelIndex &index);
    void newNodeEditClosed(QAbstractItemDelegate::EndEditHint hint);
    // Why a label typed into the tree is refused (empty when it is taken).
    QString labelRefusal(const QModelIndex &index, const QString &text);
    // A refusal of an edit of the tree's structure, shown once the current event is done.
    void showRefusal(const QString &reason);
    void readDocumentSettings();
    // The code window on a file the reader refused, at the refused place.
    void editRefusedFile(const QString &path, int line, int column);
    // Another program changed, replaced or removed the document's file.
    void fileChangedOnDisk(DocumentSession::DiskChange change);
    void restoreWindowState();
    void saveWindowState() const;
    void clickStep();
    // Writes `valueText` into the selected node when the editor of `kind` was preset
    // from it.
    // Writes into the preset node the value `valueOf` makes of its old value (nothing
    // when it gives none).
    void writeEditorValue(ValueKind kind, const std::function<std::optional<QString>(QStringView)> &valueOf);

    void reportProgress(const QString &text, int position);
    void fillFontCombo();
    void updateTitle();
    void showRoots();
    void activationStep();
    void buildElementList();
    // Save: asks for a name while the document has none. True when the file was written.
    bool saveDocument();
    // Asks for a name and writes the file; the document takes the name once written.
    bool saveDocumentAs();
    // Writes the document in its encoding, or as UTF-8 when the user agrees for a text
    // its encoding cannot hold; false when the user cancelled.
    bool writeDocument(const QString &path);
    // Before a command discards the style sheet: asks whether to save it when it was
    // modified. True when the command may go on.
    bool promptStep();

    QString m_catalogueFolder;
    Progress m_progress;
    QString m_pendingCommandLineFile;
    bool m_activated = false;
    bool m_activationQueued = false;

    Catalogue m_catalogue;
    ImageList m_attributeImages; // the six kind pictures
    ImageList m_elementImages;   // the kind pictures, then one per element row and build
    PictureIcons m_attributeIcons;
    PictureIcons m_elementIcons;
    // The document and its file; the window shows it and wires its commands to it.
    DocumentSession m_session{m_catalogue};
    Document &m_document = m_session.document();
    PreviewController *m_preview = nullptr;
    std::optional<DocumentForm> m_newFormOverride;
    AttributeListModel *m_attributeList = nullptr;
    QString m_saveName;                     // the name SaveDialog1 proposes
    QTimer *m_unusedRefresh = nullptr;      // one refresh of the hidden nodes per burst of changes
    QPersistentModelIndex m_currentAtPress; // the current node when a click began
    QPersistentModelIndex m_presetNode;     // the node the enabled editor was preset from
    // A node made by a New command whose first label edit is open, with its first label
    // and the history's index right after it was made.
    QPersistentModelIndex m_newNode;
    QString m_newNodeLabel;
    int m_newNodeStep = -1;
    bool m_labelRefusalOpen = false; // a refused label's box is up, its edit to open again
    CheckMarks *m_marks = nullptr;
    ValueKind m_presetKind = KindNone; // the editor it enabled
    bool m_presetFromValue = false;    // the value's own kind chose that editor
    int m_editSession = 0;             // the writes of one selection merge into one step
    bool m_presetting = false;         // a click is presetting the editors
    // After the file name in the title: the encoding a save changed the document to.
    QString m_titleNote;
    qint64 m_openSizeLimit = TextFile::DefaultSizeLimit; // larger files are read when the user agrees
    qint64 m_progressSize = qint64(8) << 20;             // larger files show the reading's progress
    // Declared last, so that it goes before the document it follows.
    std::unique_ptr<RecoveryGuard> m_recovery;
};
