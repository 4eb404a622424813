#include "TTimerSpeedButton.h"

#include <QBitmap>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

namespace {
constexpr int FirstRepeatDelayMs = 400;
constexpr int RepeatIntervalMs = 100;
} // namespace

TTimerSpeedButton::TTimerSpeedButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // A press of any mouse button belongs to the arrow: none reaches the widgets below.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

TTimerSpeedButton::~TTimerSpeedButton() = default;

void TTimerSpeedButton::setShowFocusFrame(bool show)
{
    if (m_showFocusFrame == show)
        return;
    m_showFocusFrame = show;
    update();
}

void TTimerSpeedButton::setGlyph(const QPixmap &glyph)
{
    m_glyph = glyph;
    if (!m_glyph.isNull() && !m_glyph.hasAlphaChannel()) {
        const QImage image = m_glyph.toImage();
        const QColor background = image.pixelColor(0, image.height() - 1);
        m_glyph.setMask(m_glyph.createMaskFromColor(background, Qt::MaskInColor));
    }
    update();
}

void TTimerSpeedButton::fireClick()
{
    emit clicked(isChecked());
}

QSize TTimerSpeedButton::sizeHint() const
{
    return m_glyph.isNull() ? QSize(15, 10) : m_glyph.size() + QSize(6, 4);
}

void TTimerSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);

    const QPoint pressedShift = isDown() ? QPoint(1, 1) : QPoint(0, 0);
    if (!m_glyph.isNull()) {
        QPixmap face = m_glyph;
        if (!isEnabled())
            face = style()->generatedIconPixmap(QIcon::Disabled, m_glyph, &option);
        const QSize size = face.deviceIndependentSize().toSize();
        const QPoint topLeft((width() - size.width()) / 2, (height() - size.height()) / 2);
        painter.drawPixmap(topLeft + pressedShift, face);
    }
    if (m_showFocusFrame) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3).translated(pressedShift);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent *event)
{
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && event->isAccepted())
        m_leftHeld = true;
    // Other buttons are taken too: an arrow's press never acts on what lies below it.
    event->accept();
    if (m_autoRepeat) {
        if (!m_repeatTimer) {
            m_repeatTimer = new QTimer(this);
            connect(m_repeatTimer, &QTimer::timeout, this, &TTimerSpeedButton::timerExpired);
        }
        m_repeatTimer->start(FirstRepeatDelayMs);
    }
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QAbstractButton::mouseReleaseEvent(event);
        m_leftHeld = false;
    }
    event->accept();
    if (m_repeatTimer)
        m_repeatTimer->stop();
}

void TTimerSpeedButton::timerExpired()
{
    m_repeatTimer->setInterval(RepeatIntervalMs);
    if (!isDown() || !m_leftHeld)
        return;
    try {
        fireClick();
    } catch (...) {
        m_repeatTimer->stop();
        throw;
    }
}
