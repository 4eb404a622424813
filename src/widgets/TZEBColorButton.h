#pragma once

#include "TColorArrayClass.h"
#include "TZEBColorButtonPalette.h"

#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <cstdint>
#include <functional>

// A push button that shows a colour as a swatch with a down-arrow beside it. A click
// opens a TZEBColorButtonPalette below the button; the colour chosen there becomes
// the button's Color and fires OnColorChange. The button also carries the 16 custom
// colours of the colour dialog, which outlive each palette.
//
// Colours are 0x00BBGGRR, or 0x80000000 + n for system colour n.
class TZEBColorButton : public QPushButton
{
    Q_OBJECT
public:
    using HintTextHandler = TZEBColorButtonPalette::HintTextHandler;
    // Persistence of the custom colours, used only while customColorsKey() is set.
    // The key is customColorsKey() + "\Colors" under the current user, the value
    // name is GetSectionName(); the text is the one customColorsText() makes. The
    // loader gives an empty text when there is no stored value.
    using CustomColorsLoader = std::function<QString(const QString &key, const QString &valueName)>;
    using CustomColorsSaver =
        std::function<void(const QString &key, const QString &valueName, const QString &text)>;

    static constexpr int PaletteSize = 20;

    explicit TZEBColorButton(QWidget *parent = nullptr);
    ~TZEBColorButton() override;

    QSize sizeHint() const override { return QSize(45, 22); }

    uint32_t color() const { return m_color; }
    // A different colour is stored, the palette index follows it (the first palette
    // cell exactly equal, or 0), the button redraws and OnColorChange fires. After
    // setNoColor every colour counts as different.
    void setColor(uint32_t color);
    // "No colour": the swatch shows an empty square struck through instead of Color
    // (for a value whose colour is inherited, currentcolor or a variable). Fires nothing;
    // the next setColor or pick shows a colour again.
    void setNoColor();
    bool hasColor() const { return m_hasColor; }
    // A line the colour dialog behind "Other" shows in its title (what the colour is,
    // that it lies outside sRGB); empty for none.
    QString dialogNote() const { return m_dialogNote; }
    void setDialogNote(const QString &note) { m_dialogNote = note; }
    // 0 when Color is not one of the palette's, else its 1-based single index.
    int paletteIndex() const { return m_paletteIndex; }
    // Color becomes palette colour index, or OtherColor for 0; OnColorChange fires.
    // Values outside 0..20 and the current index are ignored.
    void setPaletteIndex(int index);

    uint32_t otherColor() const { return m_otherColor; }
    void setOtherColor(uint32_t color) { m_otherColor = color; }
    const TColorArrayClass &paletteColors() const { return m_paletteColors; }
    void setPaletteColors(const TColorArrayClass &colors) { m_paletteColors.assign(colors); }
    const TColorArrayClass &customColors() const { return m_customColors; }
    void setCustomColors(const TColorArrayClass &colors) { m_customColors.assign(colors); }
    QString otherBtnCaption() const { return m_otherBtnCaption; }
    void setOtherBtnCaption(const QString &caption) { m_otherBtnCaption = caption; }
    bool showColorHints() const { return m_showColorHints; }
    void setShowColorHints(bool show) { m_showColorHints = show; }
    // A click on the swatch steps to the next palette colour instead of opening
    // the palette; the arrow part still opens it.
    bool cycleColors() const { return m_cycleColors; }
    void setCycleColors(bool cycle) { m_cycleColors = cycle; }
    // Stored only; the drawing does not depend on it.
    int buttonStyle() const { return m_buttonStyle; }
    void setButtonStyle(int style);
    QString customColorsKey() const { return m_customColorsKey; }
    void setCustomColorsKey(const QString &key) { m_customColorsKey = key; }
    void setOnGetColorHintText(HintTextHandler handler) { m_onGetColorHintText = std::move(handler); }
    void setCustomColorsStore(CustomColorsLoader loader, CustomColorsSaver saver);

    // Arrow pictures: 7 x 5, the colour of the bottom-left pixel is transparent.
    // A null image is ignored.
    QImage arrowBitmap() const { return m_arrow; }
    void setArrowBitmap(const QImage &image);
    QImage arrowDisabledBitmap() const { return m_arrowDisabled; }
    void setArrowDisabledBitmap(const QImage &image);
    static QImage defaultArrowBitmap(bool disabled);

    // The default palette, white custom colours and the button-face other colour.
    void SetDefaultColors();
    void LoadCustomColors();
    void SaveCustomColors();
    // "parent.button" from the object names, or the button's own name without a parent.
    QString GetSectionName() const;
    // The stored text of 16 custom colours: "$" and eight hexadecimal digits each,
    // separated by ",", in the order (1,1), (1,2), (2,1), ... (8,2).
    static QString customColorsText(const TColorArrayClass &colors);
    // Reads that text into an 8 x 2 grid; a field that is no number gives white.
    static void readCustomColorsText(const QString &text, TColorArrayClass &colors);

    // The swatch for a button of the given size (the area that shows Color).
    static QRect swatchRect(const QSize &size, bool down);

    // The open palette, or null.
    TZEBColorButtonPalette *paletteWindow() const { return m_palette; }
    bool paletteShowing() const { return m_paletteShowing; }

signals:
    // Fired after every change of Color.
    void OnColorChange(TZEBColorButton *sender);

protected:
    void paintEvent(QPaintEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void ButtonClick();
    void openPalette();
    void PaletteSetColor(bool isOther, uint32_t color);
    void PaletteClosed();

    uint32_t m_color = 0;
    bool m_hasColor = true;
    QString m_dialogNote;
    int m_paletteIndex = 0;
    uint32_t m_otherColor = 0;
    TColorArrayClass m_paletteColors;
    TColorArrayClass m_customColors;
    QString m_otherBtnCaption;
    bool m_showColorHints = true;
    bool m_cycleColors = false;
    int m_buttonStyle = 0;
    QString m_customColorsKey;
    QString m_sectionName;
    bool m_customColorsLoaded = false;
    CustomColorsLoader m_loadCustomColors;
    CustomColorsSaver m_saveCustomColors;
    HintTextHandler m_onGetColorHintText;
    QImage m_arrow;
    QImage m_arrowDisabled;

    QPointer<TZEBColorButtonPalette> m_palette;
    bool m_paletteShowing = false;
    bool m_ignoreNextClick = false;
    bool m_mouseInControl = false;
    // Where the mouse released the button, for telling the arrow part from the swatch.
    QPoint m_clickPos;
    bool m_clickByMouse = false;
};
