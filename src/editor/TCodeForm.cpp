#include "TCodeForm.h"

#include "ButtonRow.h"
#include "Catalogue.h"
#include "CodeCompleter.h"
#include "CssTokenizer.h"
#include "DocumentSession.h"
#include "ExceptionBox.h"
#include "Failure.h"
#include "FileDialogs.h"
#include "FindBar.h"
#include "Messages.h"
#include "RegistryStore.h"
#include "SaveQuestionBoxes.h"
#include "StyleSheetModel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace {

// The window opens at 200,108, at least this large where the screen allows.
const QSize SmallestSize(800, 600);
const QPoint InitialPlace(200, 108);

// The stored size of the window, beside the main window's in the Position key.
const QString PositionKeyPath = QStringLiteral("\\Software\\Loomwright 99\\Position");
const QString WidthValue = QStringLiteral("CodeWidth");
const QString HeightValue = QStringLiteral("CodeHeight");
// Kept for the run when the stored settings cannot be reached.
QSize runSize;

// The text is read for the check after this long without a change.
constexpr int CheckDelayMs = 500;
// The lines looked at for the size that fits the text.
constexpr int SizingLines = 20000;

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

TCodeForm::TCodeForm(QWidget *parent)
    : QDialog(parent), m_catalogueFolder(QCoreApplication::applicationDirPath())
{
    setWindowTitle(QStringLiteral("Style Sheet Code"));

    Code = new CodeEditor;
    Completer = new CodeCompleter(Code);
    connect(Completer, &CodeCompleter::listsWanted, this, &TCodeForm::loadCompletionLists);
    Find = new FindBar;
    m_check = new CodeCheck(this);
    connect(m_check, &CodeCheck::checked, this, &TCodeForm::showCheck);
    m_checkTimer = new QTimer(this);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(CheckDelayMs);
    connect(m_checkTimer, &QTimer::timeout, this, &TCodeForm::runCheck);
    m_checkCopyTimer = new QTimer(this);
    m_checkCopyTimer->setSingleShot(true);
    m_checkCopyTimer->setInterval(0);
    connect(m_checkCopyTimer, &QTimer::timeout, this, &TCodeForm::copyForCheck);
    connect(Code->document(), &QTextDocument::contentsChange, this, [this] {
        ++m_generation;
        if (!isFilling())
            scheduleCheck();
    });
    connect(Code, &QPlainTextEdit::cursorPositionChanged, this, &TCodeForm::showPlace);

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
    layout->addWidget(Find);
    layout->addWidget(createBottomPanel());
    layout->addWidget(createStatusLine());
    createShortcuts();

    OpenDialog1 =
        FileDialogs::openDialog(this, QStringLiteral("Open Style Sheet"), OpenFilter, QStringLiteral("Open"));
    SaveDialog1 = FileDialogs::saveDialog(this, QStringLiteral("Save Style Sheet"), SaveFilter,
                                          QStringLiteral("css"), QStringLiteral("Save"));

    resize(openingSize({}));
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
                      bool byteOrderMark, const QString &lineBreak)
{
    m_lineBreak = lineBreak;
    m_saveFileName = saveFileName;
    m_encoding = encoding;
    m_byteOrderMark = byteOrderMark;
    m_reloadOnClose = false;
    if (!isVisible()) {
        m_openedSize = openingSize(text);
        resize(m_openedSize);
        const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        QPoint place = InitialPlace;
        if (screen) {
            const QRect available = screen->availableGeometry();
            const QSize outer = size() + frameExtent();
            place.setX(
                std::max(available.left(), std::min(place.x(), available.right() + 1 - outer.width())));
            place.setY(
                std::max(available.top(), std::min(place.y(), available.bottom() + 1 - outer.height())));
        }
        move(place);
    }
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
    if (m_placeLine > 0) {
        if (isFilling())
            finishFill();
        Code->goToLine(m_placeLine);
        QTextCursor cursor = Code->textCursor();
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                            std::min(m_placeColumn - 1, cursor.block().length() - 1));
        Code->setTextCursor(cursor);
        m_placeLine = 0;
    }
}

void TCodeForm::placeCursorAt(int line, int column)
{
    m_placeLine = line;
    m_placeColumn = std::max(1, column);
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
    scheduleCheck();
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
    // Every line break is the style sheet's own (its most common one), also in the text
    // not yet in the editor, so that the text is the same all along the fill.
    if (m_pending)
        return withLineBreaks(m_pendingText);
    // The raw text keeps every character as typed or read (no-break spaces included);
    // its line separators become CR LF. Taken in one copy and built in one piece, which
    // is far quicker for a large text than joining its lines one by one.
    // While a large text goes in, the part not yet in the editor follows the editor's
    // own (which ends just after a line break of the text).
    const QTextDocument *document = Code->document();
    const QString raw = document->toRawText();
    QString text;
    text.reserve(raw.size() + document->blockCount() + (isFilling() ? m_fillText.size() - m_fillFrom : 0));
    const QChar *run = raw.constData();
    const QChar *const end = run + raw.size();
    for (const QChar *c = run; c != end; ++c) {
        if (*c == QChar::ParagraphSeparator) {
            text.append(run, c - run);
            text += m_lineBreak;
            run = c + 1;
        }
    }
    text.append(run, end - run);
    if (isFilling())
        text += withLineBreaks(m_fillText.sliced(m_fillFrom));
    return text;
}

QString TCodeForm::withLineBreaks(const QString &text) const
{
    if (m_lineBreak == QLatin1String("\r\n"))
        return TextFile::normaliseLineBreaks(text);
    QString out = TextFile::normaliseLineBreaks(text);
    out.replace(QLatin1String("\r\n"), m_lineBreak);
    return out;
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
    // Written as the main window's Save writes: the same questions (a read-only file,
    // an encoding that cannot hold the text) and the same care of the file.
    SaveQuestionBoxes questions(this);
    const std::optional<SaveQuestions::Encoding> choice =
        DocumentSession::writeText(path, text(), m_encoding, m_byteOrderMark, questions);
    if (!choice)
        return false;
    m_encoding = choice->encoding;
    m_byteOrderMark = choice->byteOrderMark;
    if (choice->changed)
        Status->setText(QStringLiteral("Saved as %1").arg(m_encoding.name()));
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
        if (Find->isVisible())
            Find->close();
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
        m_lineBreak = QStringLiteral("\n");
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
        const TextFile::Loaded loaded = TextFile::load(path, TextFile::LineBreaks::Keep);
        m_lineBreak = DocumentSource::lineBreakOf(loaded.text);
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

// ---------------------------------------------------------------------------------
// Size

QSize TCodeForm::openingSize(const QString &text) const
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : SmallestSize;
    QSize size = rememberedSize();
    if (!size.isValid()) {
        // Wide enough for the longest line and tall enough for every line, as far as
        // the screen goes.
        qsizetype longest = 0;
        qsizetype lineStart = 0;
        int lines = 1;
        for (qsizetype i = 0; i < text.size() && lines < SizingLines; ++i) {
            if (text[i] == QLatin1Char('\n')) {
                longest = std::max(longest, i - lineStart);
                lineStart = i + 1;
                ++lines;
            }
        }
        longest = std::max(longest, std::min(text.size(), lineStart + 4000) - lineStart);
        const QFontMetrics metrics(Code->font());
        const int scrollBar = Code->verticalScrollBar()->sizeHint().width();
        const int chrome = sizeHint().height() - Code->sizeHint().height();
        size = QSize(Code->gutterWidth() + int(longest + 2) * metrics.horizontalAdvance(QLatin1Char('0')) +
                         scrollBar + 16,
                     std::max(0, chrome) + (lines + 1) * metrics.lineSpacing() + scrollBar + 16);
        size = size.expandedTo(SmallestSize);
    }
    return size.boundedTo(available - frameExtent());
}

QSize TCodeForm::frameExtent() const
{
    // The window's own frame is known only once it is shown; the main window's tells
    // what the window system adds.
    const QWidget *shown = isVisible()                                     ? this
                           : parentWidget() && parentWidget()->isVisible() ? parentWidget()
                                                                           : nullptr;
    if (!shown)
        return {0, 0};
    return (shown->frameGeometry().size() - shown->size()).expandedTo(QSize(0, 0));
}

QSize TCodeForm::rememberedSize()
{
    try {
        RegistryStore store;
        const RegistryKey key = store.openKey(RegistryStore::Root::CurrentUser, PositionKeyPath);
        const QVariant width = key.value(WidthValue);
        const QVariant height = key.value(HeightValue);
        if (width.typeId() == QMetaType::UInt && height.typeId() == QMetaType::UInt) {
            const QSize stored(int(width.toUInt()), int(height.toUInt()));
            if (stored.width() > 0 && stored.height() > 0 && stored.width() < 100000 &&
                stored.height() < 100000)
                return stored;
        }
        return {};
    } catch (const Failure &) {
        // The stored settings cannot be read: the size kept for this run stands.
        return runSize;
    }
}

void TCodeForm::rememberSize(const QSize &size)
{
    try {
        RegistryStore store;
        RegistryKey key = store.openKey(RegistryStore::Root::CurrentUser, PositionKeyPath);
        key.writeDword(WidthValue, quint32(size.width()));
        key.writeDword(HeightValue, quint32(size.height()));
    } catch (const Failure &) {
        runSize = size; // kept for the run only
    }
}

void TCodeForm::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    if (m_openedSize.isValid() && size() != m_openedSize) {
        rememberSize(size());
        m_openedSize = size();
    }
}

// ---------------------------------------------------------------------------------
// Status line, shortcuts, find, go to line

QWidget *TCodeForm::createStatusLine()
{
    auto *line = new QWidget;
    auto *layout = new QHBoxLayout(line);
    layout->setContentsMargins(6, 2, 6, 3);
    Status = new QLabel;
    Status->setTextFormat(Qt::PlainText);
    Status->setMinimumWidth(1);
    Status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette colours = Status->palette();
    colours.setColor(QPalette::WindowText, QColor(0xc0, 0x10, 0x10));
    Status->setPalette(colours);
    Place = new QLabel;
    layout->addWidget(Status, 1);
    layout->addWidget(Place);
    showPlace();
    return line;
}

void TCodeForm::createShortcuts()
{
    const auto add = [this](const QKeySequence &keys, auto slot) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    add(QKeySequence::Find, [this] { FindClick(false); });
    add(QKeySequence(Qt::CTRL | Qt::Key_H), [this] { FindClick(true); });
    add(QKeySequence(Qt::Key_F3), [this] { FindNextClick(false); });
    add(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindNextClick(true); });
    add(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GoToLineClick(); });

    connect(Find, &FindBar::searchChanged, this, [this] { runFind(true); });
    connect(Find, &FindBar::nextWanted, this, [this] { FindNextClick(false); });
    connect(Find, &FindBar::previousWanted, this, [this] { FindNextClick(true); });
    connect(Find, &FindBar::replaceWanted, this, [this] {
        if (!Code->replaceCurrent(Find->replaceText()))
            Code->findNext();
        showFindResult();
    });
    connect(Find, &FindBar::replaceAllWanted, this, [this] {
        const int count = Code->replaceAll(Find->replaceText());
        Find->setResult(QStringLiteral("%1 replaced").arg(count), count > 0);
    });
    connect(Find, &FindBar::closed, this, [this] {
        Code->clearFind();
        Code->setFocus();
    });
    connect(Code, &CodeEditor::matchesChanged, this, &TCodeForm::showFindResult);
}

void TCodeForm::FindClick(bool replace)
{
    finishFill();
    const QTextCursor cursor = Code->textCursor();
    QString word = cursor.selectedText();
    if (word.contains(QChar::ParagraphSeparator))
        word.clear();
    const bool same = word.isEmpty() || word == Find->findText();
    Find->open(replace, word);
    if (same)
        runFind(true); // a changed text has searched already
}

void TCodeForm::FindNextClick(bool backward)
{
    finishFill();
    if (Find->findText().isEmpty()) {
        FindClick(false);
        return;
    }
    if (Code->matches().empty() || !Find->isVisible())
        Code->findAll(Find->findText(), {Find->caseSensitive(), Find->wholeWords()});
    Code->findNext(backward);
    showFindResult();
}

void TCodeForm::runFind(bool fromSelectionStart)
{
    if (Find->findText().isEmpty()) {
        Code->clearFind();
        return;
    }
    const int count = Code->findAll(Find->findText(), {Find->caseSensitive(), Find->wholeWords()});
    if (count > 0 && fromSelectionStart && Code->currentMatch() < 0) {
        // As the text to find is typed, the first match from the selection on is selected.
        QTextCursor start = Code->textCursor();
        start.setPosition(start.selectionStart());
        Code->setTextCursor(start);
        Code->findNext();
    }
    showFindResult();
}

void TCodeForm::showFindResult()
{
    if (Find->findText().isEmpty() || !Find->isVisible()) {
        Find->setResult({}, true);
        return;
    }
    const auto count = qsizetype(Code->matches().size());
    const int current = Code->currentMatch();
    if (count == 0)
        Find->setResult(QStringLiteral("No matches"), false);
    else if (current >= 0)
        Find->setResult(QStringLiteral("%1 of %2").arg(current + 1).arg(count), true);
    else
        Find->setResult(count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(count),
                        true);
}

void TCodeForm::GoToLineClick()
{
    ExceptionBox::guard(this, [this] {
        finishFill();
        QInputDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("Go to Line"));
        dialog.setLabelText(QStringLiteral("Line number (1 - %1):").arg(Code->blockCount()));
        dialog.setInputMode(QInputDialog::IntInput);
        dialog.setIntRange(1, Code->blockCount());
        dialog.setIntValue(Code->textCursor().blockNumber() + 1);
        if (dialog.exec() == QDialog::Accepted)
            Code->goToLine(dialog.intValue());
    });
}

void TCodeForm::showPlace()
{
    const QTextCursor cursor = Code->textCursor();
    Place->setText(
        QStringLiteral("Line %1, Column %2").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1));
}

// ---------------------------------------------------------------------------------
// Completion and the check

void TCodeForm::setCatalogue(Catalogue *catalogue)
{
    m_catalogue = catalogue;
    if (catalogue && catalogue->tagTable().isOpen())
        m_catalogueFolder = QFileInfo(catalogue->tagTable().path()).absolutePath();
    Completer->setLists({}, {});
}

void TCodeForm::loadCompletionLists()
{
    std::vector<Catalogue::AttributeEntry> entries;
    try {
        if (m_catalogue && m_catalogue->isOpen()) {
            entries = m_catalogue->buildAttributeList();
        } else if (Catalogue::tablesPresent(m_catalogueFolder)) {
            Catalogue own;
            own.open(m_catalogueFolder);
            entries = own.buildAttributeList();
        }
    } catch (const Failure &) {
        // No completion without a catalogue.
    }
    QStringList properties;
    QHash<QString, QStringList> keywords;
    for (const Catalogue::AttributeEntry &entry : entries) {
        if (entry.label.isEmpty() || properties.contains(entry.label))
            continue;
        properties.append(entry.label);
        if (entry.kind == KindChoice)
            keywords.insert(entry.label, entry.choices);
    }
    properties.sort(Qt::CaseInsensitive);
    Completer->setLists(properties, keywords);
}

void TCodeForm::scheduleCheck()
{
    m_checkWaiting = true;
    m_checkTimer->start();
}

void TCodeForm::checkNow()
{
    m_checkTimer->stop();
    m_checkWaiting = true;
    runCheck();
}

void TCodeForm::runCheck()
{
    if (isFilling()) {
        m_checkTimer->start();
        return;
    }
    // The text is copied for the check a slice at a time from the event loop, so that a
    // key pressed meanwhile waits for one slice at most, never for the whole text.
    m_checkCopy = QString();
    m_checkCopy.reserve(Code->document()->characterCount());
    m_checkCopyAt = 0;
    m_checkCopyGeneration = m_generation;
    copyForCheck();
}

void TCodeForm::copyForCheck()
{
    if (m_checkCopyGeneration != m_generation) {
        m_checkCopy = QString(); // the text changed: the check of the new text follows
        return;
    }
    const int end = Code->document()->characterCount() - 1; // the last line has no break
    const int to = std::min(end, m_checkCopyAt + CheckCopySlice);
    QTextCursor slice(Code->document());
    slice.setPosition(m_checkCopyAt);
    slice.setPosition(to, QTextCursor::KeepAnchor);
    m_checkCopy += slice.selectedText(); // lines end in U+2029, as in the raw text
    m_checkCopyAt = to;
    if (to < end) {
        m_checkCopyTimer->start();
        return;
    }
    m_check->check(std::exchange(m_checkCopy, QString()), m_generation);
}

void TCodeForm::showCheck(const CodeCheck::Outcome &outcome)
{
    if (outcome.generation != m_generation)
        return; // the text has changed since; its own check follows
    m_checkWaiting = m_checkTimer->isActive();
    if (outcome.read || outcome.line <= 0) {
        Code->setCheckMark(-1, 0, {});
        Status->clear();
        return;
    }
    // The place the reader gives, underlined for the length of the token there.
    const QTextBlock block = Code->document()->findBlockByNumber(outcome.line - 1);
    if (!block.isValid()) {
        Code->setCheckMark(-1, 0, {});
        Status->setText(outcome.description);
        return;
    }
    const QString line = block.text();
    const int column = std::clamp(outcome.column - 1, 0, int(line.size()));
    int length = 1;
    if (column < line.size()) {
        Css::Tokenizer tokenizer(line, column);
        const Css::Token token = tokenizer.next();
        if (token.type != Css::TokenType::Whitespace && token.type != Css::TokenType::EndOfFile)
            length = int(token.length);
    }
    const int start = column < line.size() ? column : std::max(0, column - 1);
    Code->setCheckMark(block.position() + start, length, outcome.description);
    Status->setText(outcome.description);
}

QString TCodeForm::statusText() const
{
    return Status->text();
}
