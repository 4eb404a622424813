#pragma once

#include <QAbstractButton>
#include <QPixmap>

class QTimer;

// An arrow button of a spin edit: a push button that never takes the keyboard
// focus, shows one picture (its glyph) and can repeat its click while it is held.
//
// With AutoRepeat set, a press starts a repeat timer: the first tick comes after
// 400 ms, every later one after 100 ms. A tick clicks only while the button is
// drawn pressed and held by the left mouse button, so moving the pointer off the
// button pauses the repeat and moving back resumes it. The release over the button
// gives the usual click; the release stops the timer.
//
// A click is reported through QAbstractButton::clicked().
class TTimerSpeedButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool ShowFocusFrame READ showFocusFrame WRITE setShowFocusFrame)
    Q_PROPERTY(bool AutoRepeat READ autoRepeatEnabled WRITE setAutoRepeatEnabled)
    Q_PROPERTY(QPixmap Glyph READ glyph WRITE setGlyph)

public:
    explicit TTimerSpeedButton(QWidget *parent = nullptr);
    ~TTimerSpeedButton() override;

    // Draws a dotted focus rectangle inside the button's edges.
    bool showFocusFrame() const { return m_showFocusFrame; }
    void setShowFocusFrame(bool show);

    // Repeats the click while the button is held (see the class comment).
    bool autoRepeatEnabled() const { return m_autoRepeat; }
    void setAutoRepeatEnabled(bool on) { m_autoRepeat = on; }

    // The picture shown centred on the face. Opaque pictures have the colour of
    // their bottom-left pixel drawn transparent.
    QPixmap glyph() const { return m_glyph; }
    void setGlyph(const QPixmap &glyph);

    // Clicks the button once (emits clicked()) without pressing it.
    void fireClick();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void timerExpired();

    QPixmap m_glyph;
    QTimer *m_repeatTimer = nullptr;
    bool m_showFocusFrame = false;
    bool m_autoRepeat = false;
    bool m_leftHeld = false;
};
