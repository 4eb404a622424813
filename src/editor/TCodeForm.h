#pragma once

#include "CodeCheck.h"
#include "CodeEditor.h"
#include "TextFile.h"

#include <QDialog>
#include <QSize>
#include <QString>
#include <functional>

class Catalogue;
class CodeCompleter;
class FindBar;
class QFileDialog;
class QLabel;
class QPushButton;
class QTimer;

// The code window: the style sheet as plain CSS text, to edit directly, start afresh,
// open another file into, and save. Leaving it after a file was saved or opened in it
// has the main window read that file back, so that edits made as text reach the trees.
// A fresh window is made for each use and shown modally.
//
// The text is shown as CSS (CodeEditor), with find and replace (Ctrl+F, Ctrl+H, F3,
// Shift+F3), Go to Line (Ctrl+G) and completion from the catalogue (Ctrl+Space). Half a
// second after the last change the text is read as the main window would read it back;
// where the reader would refuse it is underlined, and why shows in the status line.
class TCodeForm : public QDialog
{
    Q_OBJECT
public:
    // Reads a file back into the main window's style sheet.
    using ReadBack = std::function<void(const QString &path)>;

    explicit TCodeForm(QWidget *parent = nullptr);
    ~TCodeForm() override;

    void setReadBack(ReadBack readBack) { m_readBack = std::move(readBack); }
    // The catalogue that completion offers and the check reads with; without one, the
    // tables beside the program are used.
    void setCatalogue(Catalogue *catalogue);

    // Fills the window for one use: the style sheet's text, its file ("Not Saved" when
    // it has none) as the name Save writes to, the encoding it was read in, which saving
    // keeps, and its line break, which joins the lines text() gives.
    void start(const QString &saveFileName, const QString &text, TextFile::Encoding encoding,
               bool byteOrderMark = false, const QString &lineBreak = QStringLiteral("\r\n"));
    // Puts the cursor at a line and column (1-based) once the text is in the editor: the
    // place where the reader refused the text, for the user to mend it there.
    void placeCursorAt(int line, int column);

    // The text as it is written: the lines joined by the style sheet's line break.
    QString text() const;
    const QString &saveFileName() const { return m_saveFileName; }
    bool reloadOnClose() const { return m_reloadOnClose; }
    bool isCodeModified() const;
    // True while a large text is still going into the editor, piece by piece.
    bool isFilling() const { return m_fillFrom < m_fillText.size(); }

    void CloseClick();
    void NewClick();
    void OpenClick();
    void SaveClick();
    // Find (Ctrl+F) and Replace (Ctrl+H): the bar, with the selected word to find.
    void FindClick(bool replace = false);
    // F3 and Shift+F3: the next or previous match (the bar opens when nothing is sought).
    void FindNextClick(bool backward = false);
    // Ctrl+G: asks for a line number and goes there.
    void GoToLineClick();

    // The size the window opens at: the one the user last gave it, or one that fits
    // `text` (at least 800 x 600), within the available screen.
    QSize openingSize(const QString &text) const;
    // The size kept for the next window: in the stored settings (the Position key), and
    // for the run when they cannot be reached. Invalid while none was kept.
    static QSize rememberedSize();
    static void rememberSize(const QSize &size);

    // The latest check of the text: true while its outcome is still to come.
    bool isChecking() const { return m_checkWaiting; }
    // Checks the text now instead of after the pause in typing.
    void checkNow();
    QString statusText() const;

    CodeEditor *Code = nullptr;
    FindBar *Find = nullptr;
    CodeCompleter *Completer = nullptr;
    QLabel *Status = nullptr;
    QLabel *Place = nullptr;
    QPushButton *Close = nullptr;
    QPushButton *New = nullptr;
    QPushButton *Open = nullptr;
    QPushButton *Save = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

protected:
    // The text given to start() goes into the editor once the window has its size.
    void showEvent(QShowEvent *event) override;
    // The size the user gave the window is kept for the next one.
    void hideEvent(QHideEvent *event) override;
    // The close box, the system menu and Alt+F4 act as the Close button.
    void closeEvent(QCloseEvent *event) override;
    // Esc does not close the window; it closes the find bar.
    void keyPressEvent(QKeyEvent *event) override;
    // Keys and the editor's menu first finish the fill, so that they act on the whole text.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createBottomPanel();
    QWidget *createStatusLine();
    // What the window system's frame adds to the window's size.
    QSize frameExtent() const;
    void createShortcuts();
    void loadCompletionLists();
    void runFind(bool fromSelectionStart);
    void showFindResult();
    void scheduleCheck();
    void runCheck();
    // Copies the next slice of the text for the check; the last one sends it off.
    void copyForCheck();
    void showCheck(const CodeCheck::Outcome &outcome);
    void showPlace();
    void setCode(const QString &text);
    // The text with every line break made the style sheet's own.
    QString withLineBreaks(const QString &text) const;
    // Appends the next piece of the text being filled in; see setCode().
    void fillStep(qsizetype size);
    void finishFill();
    void stopFill();
    // The editor and the text still to come are emptied together.
    void clearCode();
    // True when the text was written (to the remembered file, or one chosen now).
    bool save();
    // Asks whether to save the text when it was changed; true when the command may go on.
    bool prompt();
    // The prompt, then the read-back; true when the window may close.
    bool closeStep();

    ReadBack m_readBack;
    Catalogue *m_catalogue = nullptr;
    CodeCheck *m_check = nullptr;
    // Where the completion lists come from when no catalogue is given.
    QString m_catalogueFolder;
    QTimer *m_checkTimer = nullptr;
    quint64 m_generation = 0;
    bool m_checkWaiting = false;
    // The text being copied for the check, up to m_checkCopyAt, as of m_checkCopyGeneration.
    static constexpr int CheckCopySlice = 1 << 18;
    QTimer *m_checkCopyTimer = nullptr;
    QString m_checkCopy;
    int m_checkCopyAt = 0;
    quint64 m_checkCopyGeneration = 0;
    QSize m_openedSize;
    // The text of start() until the window is first shown; see start().
    QString m_pendingText;
    bool m_pending = false;
    int m_placeLine = 0; // where placeCursorAt() puts the cursor; 0 for nowhere
    int m_placeColumn = 0;
    // A large text shown in pieces: the whole of it, and where the part not yet in the
    // editor starts.
    QString m_fillText;
    qsizetype m_fillFrom = 0;
    QTimer *m_fillTimer = nullptr;
    QString m_saveFileName;
    bool m_reloadOnClose = false;
    bool m_closing = false;
    TextFile::Encoding m_encoding = TextFile::Encoding::Utf8;
    bool m_byteOrderMark = false;
    // The line break text() writes between the editor's lines: the style sheet's own.
    QString m_lineBreak = QStringLiteral("\r\n");
};
