#pragma once

#include "TextFile.h"

#include <QDialog>
#include <QString>
#include <functional>

class QFileDialog;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The code window: the style sheet as plain CSS text, to edit directly, start afresh,
// open another file into, and save. Leaving it after a file was saved or opened in it
// has the main window read that file back, so that edits made as text reach the trees.
// A fresh window is made for each use and shown modally.
class TCodeForm : public QDialog
{
    Q_OBJECT
public:
    // Reads a file back into the main window's style sheet.
    using ReadBack = std::function<void(const QString &path)>;

    explicit TCodeForm(QWidget *parent = nullptr);
    ~TCodeForm() override;

    void setReadBack(ReadBack readBack) { m_readBack = std::move(readBack); }

    // Fills the window for one use: the style sheet's text (CR LF between lines), its
    // file ("Not Saved" when it has none) as the name Save writes to, and the encoding
    // it was read in, which saving keeps.
    void start(const QString &saveFileName, const QString &text, TextFile::Encoding encoding,
               bool byteOrderMark = false);

    // The text as it is written: lines separated by CR LF, none after the last.
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

    QPlainTextEdit *Code = nullptr;
    QPushButton *Close = nullptr;
    QPushButton *New = nullptr;
    QPushButton *Open = nullptr;
    QPushButton *Save = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

protected:
    // The text given to start() goes into the editor once the window has its size.
    void showEvent(QShowEvent *event) override;
    // The close box, the system menu and Alt+F4 act as the Close button.
    void closeEvent(QCloseEvent *event) override;
    // Esc does not close the window.
    void keyPressEvent(QKeyEvent *event) override;
    // Keys and the editor's menu first finish the fill, so that they act on the whole text.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createBottomPanel();
    void setCode(const QString &text);
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
    // The text of start() until the window is first shown; see start().
    QString m_pendingText;
    bool m_pending = false;
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
};
