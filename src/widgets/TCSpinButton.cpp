#include "TCSpinButton.h"

#include "TTimerSpeedButton.h"

#include <QImage>
#include <QKeyEvent>
#include <algorithm>

namespace {

constexpr int MinimumWidth = 15;

// A 9 x 6 black triangle pointing up: rows 1 to 4 are 1, 3, 5 and 7 pixels wide,
// centred; the first and last rows and the outer columns stay transparent.
QImage upArrowImage()
{
    QImage image(9, 6, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int row = 1; row <= 4; ++row) {
        const int halfWidth = row - 1;
        for (int x = 4 - halfWidth; x <= 4 + halfWidth; ++x)
            image.setPixelColor(x, row, Qt::black);
    }
    return image;
}

} // namespace

TCSpinButton::TCSpinButton(QWidget *parent)
    : QWidget(parent), m_upButton(new TTimerSpeedButton(this)), m_downButton(new TTimerSpeedButton(this)),
      m_focusedButton(m_upButton)
{
    m_upButton->setObjectName(QStringLiteral("UpButton"));
    m_downButton->setObjectName(QStringLiteral("DownButton"));
    for (TTimerSpeedButton *button : {m_upButton, m_downButton}) {
        button->setAutoRepeatEnabled(true);
        connect(button, &QAbstractButton::pressed, this, [this, button] { btnMouseDown(button); });
    }
    m_upButton->setGlyph(defaultUpGlyph());
    m_downButton->setGlyph(defaultDownGlyph());
    connect(m_upButton, &QAbstractButton::clicked, this, [this] { emit OnUpClick(this); });
    connect(m_downButton, &QAbstractButton::clicked, this, [this] { emit OnDownClick(this); });

    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setCursor(Qt::ArrowCursor);
    setMinimumWidth(MinimumWidth);
    resize(20, 25);
    layoutButtons();
}

TCSpinButton::~TCSpinButton() = default;

QPixmap TCSpinButton::defaultUpGlyph()
{
    return QPixmap::fromImage(upArrowImage());
}

QPixmap TCSpinButton::defaultDownGlyph()
{
    return QPixmap::fromImage(upArrowImage().mirrored(false, true));
}

QPixmap TCSpinButton::upGlyph() const
{
    return m_upButton->glyph();
}

void TCSpinButton::setUpGlyph(const QPixmap &glyph)
{
    m_upButton->setGlyph(glyph.isNull() ? defaultUpGlyph() : glyph.copy());
}

QPixmap TCSpinButton::downGlyph() const
{
    return m_downButton->glyph();
}

void TCSpinButton::setDownGlyph(const QPixmap &glyph)
{
    m_downButton->setGlyph(glyph.isNull() ? defaultDownGlyph() : glyph.copy());
}

void TCSpinButton::setTabStop(bool on)
{
    m_tabStop = on;
    setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
}

// The upper arrow takes the upper half (rounded down); the lower arrow starts one
// row higher than the upper one ends, so the two share their middle edge.
void TCSpinButton::layoutButtons()
{
    const int w = std::max(width(), MinimumWidth);
    const int h = height();
    const int upperHeight = h / 2;
    m_upButton->setGeometry(0, 0, w, upperHeight);
    m_downButton->setGeometry(0, upperHeight - 1, w, h - upperHeight + 1);
}

void TCSpinButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

bool TCSpinButton::canTakeFocus() const
{
    return isVisible() && isEnabled();
}

void TCSpinButton::btnMouseDown(TTimerSpeedButton *button)
{
    setFocusBtn(button);
    QWidget *control = m_focusControl;
    if (control && (control->focusPolicy() & Qt::TabFocus) && control->isVisible() && control->isEnabled() &&
        !control->hasFocus()) {
        control->setFocus(Qt::MouseFocusReason);
    } else if (m_tabStop && !hasFocus() && canTakeFocus()) {
        setFocus(Qt::MouseFocusReason);
    }
}

void TCSpinButton::setFocusBtn(TTimerSpeedButton *button)
{
    if (!m_tabStop || !canTakeFocus() || button == m_focusedButton)
        return;
    m_focusedButton->setShowFocusFrame(false);
    m_focusedButton = button;
    if (hasFocus())
        m_focusedButton->setShowFocusFrame(true);
}

void TCSpinButton::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        setFocusBtn(m_upButton);
        m_upButton->fireClick();
        break;
    case Qt::Key_Down:
        setFocusBtn(m_downButton);
        m_downButton->fireClick();
        break;
    case Qt::Key_Space:
        m_focusedButton->fireClick();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TCSpinButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    m_focusedButton->setShowFocusFrame(true);
}

void TCSpinButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    m_focusedButton->setShowFocusFrame(false);
}
