#pragma once

#include "TColorArrayClass.h"

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>

class QPushButton;

// The drop-down palette of a colour button: a borderless window with a 4 x 5 grid
// of colour squares, the other-colour square and a button that opens the colour
// dialog. It is created for each opening and deletes itself when it closes.
//
// Squares are (column, row): (1..4, 1..5) are grid squares; row 0 is the
// other-colour square, whatever the column; (-1, -1) is none.
// All coordinates named "client" are inside the window's 3-pixel border.
class TZEBColorButtonPalette : public QWidget
{
    Q_OBJECT
public:
    // Lets the owner rewrite a hint: the colour, the square's column and row, and
    // the text (in and out; empty shows no hint).
    using HintTextHandler = std::function<void(QObject *sender, uint32_t color, int x, int y, QString &hint)>;

    static constexpr int Border = 3;
    static constexpr int ClientWidth = 72;
    static constexpr int OtherButtonLeft = 1;
    static constexpr int OtherButtonTop = 98;
    static constexpr int OtherButtonHeight = 21;
    static constexpr int ClientHeight = OtherButtonTop + OtherButtonHeight + 2; // 121
    static constexpr QPoint NoSquare{-1, -1};

    explicit TZEBColorButtonPalette(QWidget *parent = nullptr);
    ~TZEBColorButtonPalette() override;

    // The 20 colours every palette starts with.
    static TColorArrayClass defaultPaletteColors();
    // Where a palette of the given size opens for a button at buttonRect (screen
    // coordinates): below the button, or above it when it would pass the bottom of
    // the work area; moved right to the work area's left edge, or left to end at its
    // right edge.
    static QPoint placement(const QRect &buttonRect, const QSize &paletteSize, const QRect &workArea);
    // "RGB = rrr ggg bbb" of the resolved colour.
    static QString BuildHintText(uint32_t color);

    static bool isValidSquare(QPoint square);
    // The square's 18 x 18 rectangle in client coordinates.
    static QRect squareRect(QPoint square);
    // The square under a client position, or NoSquare.
    static QPoint squareAt(QPoint clientPos);

    void SetStartColor(uint32_t color);
    uint32_t startColor() const { return m_startColor; }

    const TColorArrayClass &paletteColors() const { return m_paletteColors; }
    void setPaletteColors(const TColorArrayClass &colors);
    const TColorArrayClass &customColors() const { return m_customColors; }
    void setCustomColors(const TColorArrayClass &colors);
    uint32_t otherColor() const { return m_otherColor; }
    void setOtherColor(uint32_t color);
    bool showColorHints() const { return m_showColorHints; }
    void setShowColorHints(bool show);
    void setOtherButtonCaption(const QString &caption);
    void setOnGetColorHintText(HintTextHandler handler) { m_onGetColorHintText = std::move(handler); }
    // Added to the colour dialog's title when not empty.
    void setDialogNote(const QString &note) { m_dialogNote = note; }

    QPushButton *btnOther() const { return m_btnOther; }
    QPoint framedSquare() const { return m_framedSquare; }
    // Frames a valid square other than the framed one.
    void frameSquare(QPoint square);
    // The colour a square stands for: its grid colour, or OtherColor for row 0.
    uint32_t squareColor(QPoint square) const;
    // The hint text for a square after the owner's handler; empty means no hint.
    QString GetColorHintText(QPoint square) const;

    bool inColorDialog() const { return m_inColorDialog; }
    bool closedByKey() const { return m_closedByKey; }

signals:
    // A colour was chosen; isOther is set for the other-colour square and the dialog.
    void OnSetParentColor(bool isOther, uint32_t color);
    // The palette is closing (it is deleted right after).
    void OnPaletteClose();

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private slots:
    void btnOtherClick();

private:
    bool handleKey(int key);
    void choose(QPoint square);
    void closeUnlessInDialog();
    QPoint clientPos(QPoint widgetPos) const { return widgetPos - QPoint(Border, Border); }

    TColorArrayClass m_paletteColors;
    TColorArrayClass m_customColors;
    uint32_t m_otherColor;
    uint32_t m_startColor = 0;
    QPoint m_framedSquare = NoSquare;
    bool m_inColorDialog = false;
    bool m_closedByKey = false;
    bool m_closeReported = false;
    bool m_showColorHints = true;
    QPushButton *m_btnOther;
    HintTextHandler m_onGetColorHintText;
    QString m_dialogNote;
};
