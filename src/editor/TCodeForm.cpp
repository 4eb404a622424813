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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
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

} // namespace

TCodeForm::TCodeForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Style Sheet Code"));

    Code = new QPlainTextEdit;
    Code->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Code->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Code->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Code->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

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
        Code->clear();
        m_pendingText = text;
        m_pending = true;
    }
}

void TCodeForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_pending)
        setCode(std::exchange(m_pendingText, QString()));
}

void TCodeForm::setCode(const QString &text)
{
    // The editor holds lines; every line break of the text (CR LF, CR, LF) ends one, as
    // the editor itself takes them, so a large text goes in without being copied.
    m_pending = false;
    m_pendingText.clear();
    Code->setPlainText(text);
    Code->moveCursor(QTextCursor::Start);
    Code->document()->setModified(false);
}

QString TCodeForm::text() const
{
    if (m_pending)
        return TextFile::normaliseLineBreaks(m_pendingText);
    // Each line's raw text keeps every character as typed or read (no-break spaces
    // included); the lines are joined by CR LF. Built in one piece, as a large text
    // would otherwise be held twice more while it is written.
    const QTextDocument *document = Code->document();
    QString text;
    text.reserve(document->characterCount() + document->blockCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            text += QLatin1String("\r\n");
        text += block.text();
    }
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
        Code->clear();
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
        Code->clear();
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
