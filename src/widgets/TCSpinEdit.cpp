#include "TCSpinEdit.h"

#include "TCSpinButton.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

TCSpinEdit::BeepFunction beepFunction = nullptr;

// The height of a thin window border; the box's minimum height allows for four.
constexpr int BorderHeight = 1;

// The whole text must be the number: leading spaces, then an optional sign, then
// decimal digits, within the 32-bit range.
std::optional<int> parseWholeNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i == n)
        return std::nullopt;
    constexpr qint64 largestMagnitude = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > largestMagnitude)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

// A decimal number: leading spaces, an optional sign, digits with at most one
// decimal point ("." or the locale's) and at least one digit; nothing after it.
// `decimals` receives the digits after the point.
std::optional<double> parseDecimalNumber(const QString &text, int *decimals = nullptr)
{
    const QString localePoint = QLocale().decimalPoint();
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == u' ')
        ++i;
    QString plain; // the number in the C locale's form
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        plain += text.at(i++);
    int digits = 0;
    int after = -1;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9') {
            plain += c;
            ++digits;
            if (after >= 0)
                ++after;
        } else if ((c == u'.' || QString(c) == localePoint) && after < 0) {
            plain += u'.';
            after = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double number = plain.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    if (decimals)
        *decimals = std::max(after, 0);
    return number;
}

// A number with at most `places` decimals, trailing zeros dropped, and never "-0".
QString decimalText(double number, int places)
{
    QString text = QString::number(number, 'f', places);
    if (places > 0) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text.startsWith(u'-') &&
        std::all_of(text.begin() + 1, text.end(), [](QChar c) { return c == u'0' || c == u'.'; }))
        text.remove(0, 1);
    return text;
}

// The character a key press types, as the edit box would receive it: Return and
// Backspace as their control codes, nothing for keys that type no character
// (Delete, cursor keys) and for Ctrl combinations, which type control codes.
QString typedCharacters(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QString(QChar(13));
    case Qt::Key_Backspace:
        return QString(QChar(8));
    case Qt::Key_Delete:
        return {};
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier))
        return {};
    QString text = event->text();
    text.remove(QChar(127));
    return text;
}

// Keys that change the text without typing a character.
bool isEditingKey(const QKeyEvent *event)
{
    static constexpr QKeySequence::StandardKey editing[] = {
        QKeySequence::Delete,
        QKeySequence::Undo,
        QKeySequence::Redo,
        QKeySequence::DeleteEndOfLine,
        QKeySequence::DeleteEndOfWord,
        QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteCompleteLine,
    };
    return event->key() == Qt::Key_Delete || std::any_of(std::begin(editing), std::end(editing),
                                                         [event](auto key) { return event->matches(key); });
}

} // namespace

TCSpinEdit::TCSpinEdit(QWidget *parent)
    : QLineEdit(parent), m_button(new TCSpinButton(this)), m_unitLabel(new QLabel(this))
{
    m_unitLabel->setObjectName(QStringLiteral("Unit"));
    m_unitLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Clicks on the unit reach the box, as on its text.
    m_unitLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_unitLabel->hide();
    m_button->setObjectName(QStringLiteral("SpinButton"));
    m_button->resize(15, 17);
    m_button->setFocusControl(this);
    // An arrow steps with the modifiers held at the click (decimal mode only).
    connect(m_button, &TCSpinButton::OnUpClick, this, [this] {
        if (decimalMode())
            stepNumber(1, QGuiApplication::keyboardModifiers());
        else
            upClick();
    });
    connect(m_button, &TCSpinButton::OnDownClick, this, [this] {
        if (decimalMode())
            stepNumber(-1, QGuiApplication::keyboardModifiers());
        else
            downClick();
    });

    setText(QStringLiteral("0"));
    m_lastText = text();
    connect(this, &QLineEdit::textChanged, this, &TCSpinEdit::textWasChanged);

    updateMinHeight();
    placeButton();
}

TCSpinEdit::~TCSpinEdit() = default;

void TCSpinEdit::setBeepFunction(BeepFunction beep)
{
    beepFunction = beep;
}

void TCSpinEdit::beep()
{
    if (beepFunction)
        beepFunction();
    else
        QApplication::beep();
}

void TCSpinEdit::setEditorEnabled(bool on)
{
    m_editorEnabled = on;
    // A drop is a paste by mouse.
    setAcceptDrops(on);
}

int TCSpinEdit::value()
{
    if (decimalMode()) {
        const std::optional<double> read = number();
        if (!read)
            return m_minValue;
        return int(std::clamp<double>(std::round(*read), std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
    }
    if (const std::optional<int> number = parseWholeNumber(text()))
        return *number;
    setText(QString::number(m_minValue));
    return m_minValue;
}

void TCSpinEdit::setValue(int value)
{
    setText(QString::number(checkValue(value)));
}

int TCSpinEdit::checkValue(int value) const
{
    if (m_maxValue == m_minValue)
        return value;
    if (value < m_minValue)
        return m_minValue;
    if (value > m_maxValue)
        return m_maxValue;
    return value;
}

std::optional<double> TCSpinEdit::number() const
{
    if (!decimalMode()) {
        if (const std::optional<int> whole = parseWholeNumber(text()))
            return double(*whole);
        return std::nullopt;
    }
    return parseDecimalNumber(text());
}

void TCSpinEdit::setNumber(double number)
{
    if (std::isfinite(number))
        setText(decimalText(checkNumber(number), m_decimals));
}

double TCSpinEdit::checkNumber(double number) const
{
    if (m_maxValue == m_minValue)
        return number;
    if (number < m_minValue)
        return m_minValue;
    if (number > m_maxValue)
        return m_maxValue;
    return number;
}

void TCSpinEdit::upClick()
{
    if (decimalMode())
        stepNumber(1, Qt::NoModifier);
    else
        step(m_increment);
}

void TCSpinEdit::downClick()
{
    if (decimalMode())
        stepNumber(-1, Qt::NoModifier);
    else
        step(-qint64(m_increment));
}

// Shift steps ten times as far, Alt a tenth as far (both together: the plain step).
// The result keeps the decimals the text had when they are more than Decimals.
void TCSpinEdit::stepNumber(int direction, Qt::KeyboardModifiers modifiers)
{
    if (isReadOnly()) {
        beep();
        return;
    }
    double factor = 1;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if (shift && !alt)
        factor = 10;
    else if (alt && !shift)
        factor = 0.1;
    int written = 0;
    const double base = parseDecimalNumber(text(), &written).value_or(double(m_minValue));
    const double next = checkNumber(base + direction * factor * m_increment);
    if (std::isfinite(next))
        setText(decimalText(next, std::max(m_decimals, written)));
}

// Steps from the value read; a step past the 32-bit range stops at its end
// instead of wrapping round to the other end.
void TCSpinEdit::step(qint64 delta)
{
    if (isReadOnly()) {
        beep();
        return;
    }
    const qint64 next = std::clamp<qint64>(qint64(value()) + delta, std::numeric_limits<int>::min(),
                                           std::numeric_limits<int>::max());
    setValue(int(next));
}

bool TCSpinEdit::isValidChar(QChar c) const
{
    const char16_t code = c.unicode();
    if (code < 32)
        return code != 13 && (m_editorEnabled || code != 8);
    if (!m_editorEnabled)
        return false;
    return (code >= u'0' && code <= u'9') || code == u'+' || code == u'-' ||
           QString(c) == QLocale().decimalPoint() || (decimalMode() && code == u'.');
}

void TCSpinEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        const int direction = event->key() == Qt::Key_Up ? 1 : -1;
        if (decimalMode())
            stepNumber(direction, event->modifiers());
        else if (direction > 0)
            upClick();
        else
            downClick();
        QLineEdit::keyPressEvent(event);
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
        if (editAllowed())
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    }
    const QString typed = typedCharacters(event);
    if (!std::all_of(typed.begin(), typed.end(), [this](QChar c) { return isValidChar(c); })) {
        beep();
        event->accept();
        return;
    }
    if (!m_editorEnabled && isEditingKey(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TCSpinEdit::focusInEvent(QFocusEvent *event)
{
    const bool hadSelection = hasSelectedText();
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Coming back from a popup or another window is no entry into the box.
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    const bool byLeftPress =
        reason == Qt::MouseFocusReason && (QGuiApplication::mouseButtons() & Qt::LeftButton);
    if (m_autoSelect) {
        if (!byLeftPress)
            selectAll();
    } else if (!hadSelection && hasSelectedText()) {
        deselect();
    }
}

void TCSpinEdit::focusOutEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (decimalMode()) {
        // A text without a number stays as it is.
        const std::optional<double> typed = number();
        if (typed && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            checkNumber(*typed) != *typed)
            setNumber(*typed);
    } else if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
        const int typed = value();
        if (checkValue(typed) != typed)
            setValue(typed);
    }
    QLineEdit::focusOutEvent(event);
}

void TCSpinEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // A box that may not be typed into offers only what a read-only box offers:
    // no undo, cut, paste or delete.
    const bool lockText = !m_editorEnabled && !isReadOnly();
    if (lockText)
        setReadOnly(true);
    QMenu *menu = createStandardContextMenu();
    if (lockText)
        setReadOnly(false);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TCSpinEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the selection; only into an editable box.
    if (event->button() == Qt::MiddleButton && !editAllowed()) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// In decimal mode the wheel steps the number while the box has the focus (so that
// scrolling the window past it changes nothing).
void TCSpinEdit::wheelEvent(QWheelEvent *event)
{
    if (!decimalMode() || !hasFocus()) {
        QLineEdit::wheelEvent(event);
        return;
    }
    const QPoint angle = event->angleDelta();
    // Some systems turn the wheel sideways while Alt is held.
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta != 0)
        stepNumber(delta > 0 ? 1 : -1, event->modifiers());
    event->accept();
}

void TCSpinEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    placeButton();
}

void TCSpinEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateMinHeight();
        placeButton();
    }
}

// Room for the font, a quarter of the smaller of the box's and the system font's
// height as leading, the sunken border and two pixels.
int TCSpinEdit::minHeight() const
{
    const int h = fontMetrics().height();
    const int s = QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).height();
    return h + std::min(s, h) / 4 + 4 * BorderHeight + 2;
}

void TCSpinEdit::updateMinHeight()
{
    setMinimumHeight(minHeight());
}

// The arrow pair stands at the right inside the frame, one pixel clear of its right
// and bottom edge; without a frame it takes the full height at the very right. The
// text ends where the pair begins: the line edit keeps its own two-pixel margin, so
// a right margin of the pair's width leaves the text one pixel short of the pair.
void TCSpinEdit::placeButton()
{
    const int pairWidth = m_button->width();
    if (hasFrame()) {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
        const int clientWidth = width() - 2 * frame;
        const int clientHeight = height() - 2 * frame;
        m_button->setGeometry(frame + clientWidth - pairWidth - 1, frame, pairWidth, clientHeight - 1);
    } else {
        m_button->setGeometry(width() - pairWidth, 0, pairWidth, height());
    }
    int unitWidth = 0;
    if (!m_unitLabel->text().isEmpty()) {
        unitWidth = fontMetrics().horizontalAdvance(m_unitLabel->text()) + 2;
        const QRect button = m_button->geometry();
        m_unitLabel->setGeometry(button.left() - unitWidth, button.top(), unitWidth, button.height());
    }
    setTextMargins(0, 0, pairWidth + unitWidth, 0);
}

QString TCSpinEdit::unit() const
{
    return m_unitLabel->text();
}

void TCSpinEdit::setUnit(const QString &unit)
{
    if (unit == m_unitLabel->text())
        return;
    m_unitLabel->setText(unit);
    m_unitLabel->setVisible(!unit.isEmpty());
    placeButton();
}

void TCSpinEdit::textWasChanged(const QString &text)
{
    if (text == m_lastText)
        return;
    m_lastText = text;
    emit OnChange();
}
