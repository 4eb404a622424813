#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class TTimerSpeedButton;

// The arrow pair of a spin edit: two auto-repeating arrow buttons stacked
// vertically, overlapping by one pixel row. A click of the upper arrow emits
// OnUpClick, of the lower one OnDownClick, each with the pair as sender.
//
// Pressing an arrow with the left mouse button hands the keyboard focus to
// FocusControl (when it takes focus by Tab and can take it now) or else, when the
// pair itself has TabStop, to the pair. While the pair has the focus, Up and Down
// choose and click an arrow, Space clicks the chosen one, and the chosen arrow
// shows a focus rectangle.
class TCSpinButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap UpGlyph READ upGlyph WRITE setUpGlyph)
    Q_PROPERTY(QPixmap DownGlyph READ downGlyph WRITE setDownGlyph)
    Q_PROPERTY(QWidget *FocusControl READ focusControl WRITE setFocusControl)
    Q_PROPERTY(bool TabStop READ tabStop WRITE setTabStop)

public:
    explicit TCSpinButton(QWidget *parent = nullptr);
    ~TCSpinButton() override;

    // The arrow pictures. Setting a null pixmap restores the built-in arrow.
    QPixmap upGlyph() const;
    void setUpGlyph(const QPixmap &glyph);
    QPixmap downGlyph() const;
    void setDownGlyph(const QPixmap &glyph);

    // The built-in arrows: 9 x 6, a black triangle on a transparent background.
    static QPixmap defaultUpGlyph();
    static QPixmap defaultDownGlyph();

    QWidget *focusControl() const { return m_focusControl; }
    void setFocusControl(QWidget *control) { m_focusControl = control; }

    // Whether the pair itself takes the keyboard focus (by Tab and by a press).
    bool tabStop() const { return m_tabStop; }
    void setTabStop(bool on);

signals:
    void OnUpClick(TCSpinButton *sender);
    void OnDownClick(TCSpinButton *sender);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void layoutButtons();
    void btnMouseDown(TTimerSpeedButton *button);
    void setFocusBtn(TTimerSpeedButton *button);
    bool canTakeFocus() const;

    TTimerSpeedButton *m_upButton;
    TTimerSpeedButton *m_downButton;
    TTimerSpeedButton *m_focusedButton;
    QPointer<QWidget> m_focusControl;
    bool m_tabStop = false;
};
