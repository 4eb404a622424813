#pragma once

#include <QLineEdit>
#include <optional>

class QLabel;
class TCSpinButton;

// A one-line edit box for a whole number, with a pair of arrow buttons at its
// right edge. The number lives only in the text: Value reads the text and writes
// it, and the arrows and the Up and Down keys step it by Increment.
//
// - Reading Value converts the text (leading spaces and a sign allowed, the whole
//   text must be the number). A text that is no 32-bit whole number is replaced by
//   MinValue's digits and MinValue is returned; the limits are not applied.
// - Writing Value writes the digits of checkValue(v).
// - MinValue == MaxValue means no limits; otherwise the lower limit is tested
//   first. Typing is never limited; leaving the box pulls a typed number that lies
//   outside the limits to the nearer one.
// - Only digits, "+", "-", the locale's decimal point and control keys may be
//   typed; anything else, and Return, is refused with a beep. With EditorEnabled
//   false only the arrows change the text.
//
// OnChange() is emitted after every change of the text, made by the user or by the
// program, and never when the text is set to what it already holds. Connect it
// like any other signal: connect(Numbers, &TCSpinEdit::OnChange, this, ...).
//
// Decimals (0 by default) switches the box to decimal numbers when above 0:
// - The text may hold a decimal number ("1.5", "-.25", with "." or the locale's
//   decimal point) or nothing at all: an empty text is "no number", a state of
//   its own that is never reset. number() reads the text without changing it.
// - A step moves the number by Increment, by ten times Increment with Shift held
//   and by a tenth of it with Alt held: on the Up and Down keys, the arrows and the
//   mouse wheel (while the box has the focus). A step from no number starts at
//   MinValue. The result is written with at most max(Decimals, the decimals the
//   text had) decimals, trailing zeros dropped and never as "-0", so 0.2 + 0.1
//   shows 0.3.
// - value() gives the number rounded to a whole one, or MinValue when the text
//   holds none; it leaves the text as it is.
// - Leaving the box pulls a number outside the limits to the nearer one and leaves
//   a text without a number alone.
class TCSpinEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int MinValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int Increment READ increment WRITE setIncrement)
    Q_PROPERTY(bool EditorEnabled READ editorEnabled WRITE setEditorEnabled)
    Q_PROPERTY(bool AutoSelect READ autoSelect WRITE setAutoSelect)
    Q_PROPERTY(int Value READ value WRITE setValue STORED false)
    Q_PROPERTY(int Decimals READ decimals WRITE setDecimals)

public:
    using BeepFunction = void (*)();

    explicit TCSpinEdit(QWidget *parent = nullptr);
    ~TCSpinEdit() override;

    int minValue() const { return m_minValue; }
    void setMinValue(int value) { m_minValue = value; }
    int maxValue() const { return m_maxValue; }
    void setMaxValue(int value) { m_maxValue = value; }
    int increment() const { return m_increment; }
    void setIncrement(int step) { m_increment = step; }

    bool editorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool on);

    // Select the whole text when the focus arrives other than by a left-button press.
    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool on) { m_autoSelect = on; }

    // Not const: a text that is no whole number is reset to MinValue's digits.
    int value();
    void setValue(int value);

    // value itself without limits; else MinValue below it, MaxValue above it.
    int checkValue(int value) const;

    // 0: whole numbers, as the box always held. Above 0: decimal numbers (see above),
    // written with at most this many decimals.
    int decimals() const { return m_decimals; }
    void setDecimals(int decimals) { m_decimals = decimals < 0 ? 0 : decimals; }

    // The number the text holds (whole or, with Decimals above 0, decimal); none for
    // an empty text or one that is no number. Never changes the text.
    std::optional<double> number() const;
    // Writes checkNumber(number) with at most Decimals decimals; a number that is not
    // finite changes nothing.
    void setNumber(double number);
    // checkValue for a decimal number.
    double checkNumber(double number) const;

    // The unit shown after the number, inside the box and left of the arrows (`px`,
    // `rem`, `%`); no part of the text, so number() and the steps never see it. Empty
    // shows none.
    QString unit() const;
    void setUnit(const QString &unit);

    // The sound made for a refused key or a step on a read-only box. Defaults to
    // QApplication::beep; nullptr restores the default.
    static void setBeepFunction(BeepFunction beep);

public slots:
    // One step up or down; on a read-only box only a beep.
    void upClick();
    void downClick();

signals:
    void OnChange();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    static void beep();
    bool isValidChar(QChar c) const;
    bool editAllowed() const { return m_editorEnabled && !isReadOnly(); }
    void step(qint64 delta);
    // One step up (+1) or down (-1) in decimal mode, scaled by the modifiers held.
    void stepNumber(int direction, Qt::KeyboardModifiers modifiers);
    bool decimalMode() const { return m_decimals > 0; }
    int minHeight() const;
    void updateMinHeight();
    void placeButton();
    void textWasChanged(const QString &text);

    TCSpinButton *m_button;
    QLabel *m_unitLabel;
    QString m_lastText;
    int m_minValue = 0;
    int m_maxValue = 0;
    int m_increment = 1;
    bool m_editorEnabled = true;
    bool m_autoSelect = true;
    int m_decimals = 0;
};
