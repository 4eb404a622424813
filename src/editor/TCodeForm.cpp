#include "TCodeForm.h"

#include "ButtonRow.h"
#include "ExceptionBox.h"
#include "FileDialogs.h"
#include "Messages.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace {

// The initial design, in Qt's units: the client area of a 435 x 300 window at 200,108.
constexpr int ClientWidth = 427;
constexpr int ClientHeight = 273;
const QPoint InitialPlace(200, 108);

const QString OpenFilter = QStringLiteral("Style Sheet Files (*.css)|*.css|All Files (*.*)|*.*");
const QString SaveFilter =
    QStringLiteral("Style Sheet Files (*.css)|*.css|Text Files (*.txt)|*.txt|All Files (*.*)|*.*");

// A text longer than this goes into the editor in pieces: the first of about this size
// at once, enough for the first screens, the rest in pieces of FillPiece from the event
// loop, so that the window is shown and painted without waiting for every line.
constexpr qsizetype FirstPiece = 128 * 1024;
constexpr qsizetype FillPiece = 512 * 1024;

// The end of the piece of `text` that starts at `from` and holds at least `size`
// characters: just after the line break ending its last line (a CR LF is kept whole),
// or the end of the text.
qsizetype pieceEnd(const QString &text, qsizetype from, qsizetype size)
{
    if (text.size() - from <= size)
        return text.size();
    for (qsizetype i = from + size - 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\n')
            return i + 1;
        if (c == u'\r')
            return i + 1 < text.size() && text.at(i + 1) == u'\n' ? i + 2 : i + 1;
    }
    return text.size();
}

} // namespace

TCodeForm::TCodeForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Style Sheet Code"));

    Code = new QPlainTextEdit;
    Code->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Code->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Code->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Code->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    Code->installEventFilter(this);
    Code->viewport()->installEventFilter(this);
    m_fillTimer = new QTimer(this);
    m_fillTimer->setInterval(0);
    connect(m_fillTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            fillStep(FillPiece);
        else
            m_fillTimer->stop(); // goes on when the window is shown again
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Code, 1);
    layout->addWidget(createBottomPanel());

    OpenDialog1 = FileDialogs::openDialog(this, QStringLiteral("Open Style Sheet"), OpenFilter);
    SaveDialog1 =
        FileDialogs::saveDialog(this, QStringLiteral("Save Style Sheet"), SaveFilter, QStringLiteral("css"));

    resize(ClientWidth, ClientHeight);
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    QPoint place = InitialPlace;
    if (screen) {
        const QRect available = screen->availableGeometry();
        place.setX(std::max(available.left(), std::min(place.x(), available.right() + 1 - ClientWidth)));
        place.setY(std::max(available.top(), std::min(place.y(), available.bottom() + 1 - ClientHeight)));
    }
    move(place);
}

TCodeForm::~TCodeForm() = default;

QWidget *TCodeForm::createBottomPanel()
{
    auto *row = new ButtonRow;
    Close = row->addButton(QStringLiteral("&Close"));
    New = row->addButton(QStringLiteral("&New"), QStyle::SP_FileIcon);
    Open = row->addButton(QStringLiteral("&Open..."), QStyle::SP_DialogOpenButton);
    Save = row->addButton(QStringLiteral("&Save..."), QStyle::SP_DialogSaveButton);

    connect(Close, &QPushButton::clicked, this, &TCodeForm::CloseClick);
    connect(New, &QPushButton::clicked, this, &TCodeForm::NewClick);
    connect(Open, &QPushButton::clicked, this, &TCodeForm::OpenClick);
    connect(Save, &QPushButton::clicked, this, &TCodeForm::SaveClick);
    return row;
}

void TCodeForm::start(const QString &saveFileName, const QString &text, TextFile::Encoding encoding,
                      bool byteOrderMark)
{
    m_saveFileName = saveFileName;
    m_encoding = encoding;
    m_byteOrderMark = byteOrderMark;
    m_reloadOnClose = false;
    // A hidden window fills its editor when shown: the editor lays out every line anew
    // whenever its width changes, as it does once when the window is first shown, and
    // for a large text that would cost time and memory for each of its lines.
    if (isVisible()) {
        setCode(text);
    } else {
        clearCode();
        m_pendingText = text;
        m_pending = true;
    }
}

void TCodeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_pending)
        setCode(std::exchange(m_pendingText, QString()));
    else if (isFilling())
        m_fillTimer->start();
}

void TCodeForm::setCode(const QString &text)
{
    // The editor holds lines; every line break of the text (CR LF, CR, LF) ends one, as
    // the editor itself takes them, so a large text goes in without being copied.
    m_pending = false;
    m_pendingText.clear();
    stopFill();
    const qsizetype firstEnd = pieceEnd(text, 0, FirstPiece);
    if (firstEnd == text.size()) {
        Code->setPlainText(text);
    } else {
        // A large text: the rest follows from the event loop. The pieces go in without
        // undo, so that an undo can never take part of the text away.
        Code->setPlainText(text.first(firstEnd));
        Code->document()->setUndoRedoEnabled(false);
        m_fillText = text;
        m_fillFrom = firstEnd;
        m_fillTimer->start();
    }
    Code->moveCursor(QTextCursor::Start);
    Code->document()->setModified(false);
}

void TCodeForm::fillStep(qsizetype size)
{
    if (!isFilling())
        return;
    const qsizetype end = pieceEnd(m_fillText, m_fillFrom, size);
    QTextDocument *document = Code->document();
    // The program's own appends leave the modified state as the user left it, and the
    // caret (or selection) where it was, even at the end of the text so far.
    const bool modified = document->isModified();
    const QTextCursor caret = Code->textCursor();
    const int anchor = caret.anchor();
    const int position = caret.position();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_fillText.sliced(m_fillFrom, end - m_fillFrom));
    m_fillFrom = end;
    if (Code->textCursor().anchor() != anchor || Code->textCursor().position() != position) {
        QTextCursor kept(document);
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        Code->setTextCursor(kept);
    }
    document->setModified(modified);
    if (!isFilling())
        stopFill();
}

void TCodeForm::finishFill()
{
    fillStep(m_fillText.size());
}

void TCodeForm::stopFill()
{
    m_fillTimer->stop();
    if (m_fillText.isNull() && m_fillFrom == 0)
        return;
    m_fillText = QString();
    m_fillFrom = 0;
    Code->document()->setUndoRedoEnabled(true);
}

void TCodeForm::clearCode()
{
    stopFill();
    Code->clear();
}

bool TCodeForm::eventFilter(QObject *watched, QEvent *event)
{
    if (isFilling()) {
        bool finish = false;
        if (watched == Code) {
            finish = event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod;
        } else if (watched == Code->viewport()) {
            finish = event->type() == QEvent::ContextMenu || event->type() == QEvent::Drop ||
                     (event->type() == QEvent::MouseButtonPress &&
                      static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton);
        }
        // Keys, the editor's menu, drops and pastes act on the whole text, as on a text
        // that went in at once (Select All, Ctrl+End, undo of what they change).
        if (finish)
            finishFill();
    }
    return QDialog::eventFilter(watched, event);
}

QString TCodeForm::text() const
{
    if (m_pending)
        return TextFile::normaliseLineBreaks(m_pendingText);
    // Each line's raw text keeps every character as typed or read (no-break spaces
    // included); the lines are joined by CR LF. Built in one piece, as a large text
    // would otherwise be held twice more while it is written.
    // While a large text goes in, the part not yet in the editor follows the editor's
    // own (which ends just after a line break of the text).
    const QTextDocument *document = Code->document();
    QString text;
    text.reserve(document->characterCount() + document->blockCount() +
                 (isFilling() ? m_fillText.size() - m_fillFrom : 0));
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            text += QLatin1String("\r\n");
        text += block.text();
    }
    if (isFilling())
        text += TextFile::normaliseLineBreaks(m_fillText.sliced(m_fillFrom));
    return text;
}

bool TCodeForm::isCodeModified() const
{
    return Code->document()->isModified();
}

bool TCodeForm::save()
{
    QString path = m_saveFileName;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        path = FileDialogs::choose(SaveDialog1, m_saveFileName);
        if (path.isEmpty())
            return false;
    }
    m_encoding = TextFile::save(path, text(), m_encoding, m_byteOrderMark);
    m_saveFileName = path;
    Code->document()->setModified(false);
    m_reloadOnClose = true;
    return true;
}

bool TCodeForm::prompt()
{
    return !isCodeModified() || Messages::mayDiscardEdits(this, [this] { return save(); });
}

bool TCodeForm::closeStep()
{
    if (!prompt())
        return false;
    if (m_reloadOnClose && m_readBack) {
        // The window goes first and lets its text go, so that a large text does not
        // stand beside both style sheets while the file is read back.
        hide();
        clearCode();
        m_readBack(m_saveFileName);
    }
    return true;
}

void TCodeForm::CloseClick()
{
    ExceptionBox::guard(this, [this] {
        if (!closeStep())
            return;
        m_closing = true;
        accept();
    });
}

void TCodeForm::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        bool goOn = false;
        ExceptionBox::guard(this, [&] { goOn = closeStep(); });
        if (!goOn) {
            event->ignore();
            return;
        }
        m_closing = true;
    }
    QDialog::closeEvent(event);
}

void TCodeForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TCodeForm::NewClick()
{
    ExceptionBox::guard(this, [this] {
        if (!prompt())
            return;
        m_pending = false;
        m_pendingText.clear();
        clearCode();
        Code->document()->setModified(false);
        m_saveFileName.clear();
        m_encoding = TextFile::Encoding::Utf8;
        m_byteOrderMark = false;
        m_reloadOnClose = false;
    });
}

void TCodeForm::OpenClick()
{
    ExceptionBox::guard(this, [this] {
        if (!prompt())
            return;
        const QString path = FileDialogs::choose(OpenDialog1);
        if (path.isEmpty())
            return;
        // Read first: a file that cannot be read leaves the window as it was.
        const TextFile::Loaded loaded = TextFile::load(path);
        setCode(loaded.text);
        m_saveFileName = path;
        m_encoding = loaded.encoding;
        m_byteOrderMark = loaded.byteOrderMark;
        m_reloadOnClose = true;
    });
}

void TCodeForm::SaveClick()
{
    ExceptionBox::guard(this, [this] { save(); });
}
