#include "TZEBColorButton.h"

#include "WidgetColors.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

namespace {

constexpr uint32_t White = 0x00FFFFFFu;

// Darkens r with a repeating 8 x 8 diagonal hatch, aligned to the button's origin.
void drawHatch(QPainter &p, const QRect &r)
{
    static constexpr unsigned char pattern[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
    p.setPen(Qt::black);
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (pattern[y & 7] & (0x80 >> (x & 7)))
                p.drawPoint(x, y);
}

// The arrow picture with its background (the bottom-left pixel's colour) made
// transparent.
QImage transparentArrow(const QImage &bitmap)
{
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const QRgb background = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == background)
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

} // namespace

TZEBColorButton::TZEBColorButton(QWidget *parent)
    : QPushButton(parent), m_otherBtnCaption(tr("&Other")), m_arrow(defaultArrowBitmap(false)),
      m_arrowDisabled(defaultArrowBitmap(true))
{
    SetDefaultColors();
    resize(sizeHint());
    connect(this, &QPushButton::clicked, this, &TZEBColorButton::ButtonClick);
}

TZEBColorButton::~TZEBColorButton()
{
    if (m_palette) {
        m_palette->disconnect(this);
        delete m_palette;
    }
    // A destructor must not throw; a store that fails to write loses the colours.
    try {
        SaveCustomColors();
    } catch (...) {
    }
}

void TZEBColorButton::setColor(uint32_t color)
{
    if (color == m_color && m_hasColor)
        return;
    m_color = color;
    m_hasColor = true;
    m_paletteIndex = 0;
    for (int k = 1; k <= PaletteSize && k <= m_paletteColors.count(); ++k)
        if (m_paletteColors.at(k) == color) {
            m_paletteIndex = k;
            break;
        }
    update();
    emit OnColorChange(this);
}

void TZEBColorButton::setNoColor()
{
    if (!m_hasColor)
        return;
    m_hasColor = false;
    update();
}

void TZEBColorButton::setPaletteIndex(int index)
{
    if (index < 0 || index > PaletteSize || index > m_paletteColors.count() || index == m_paletteIndex)
        return;
    m_paletteIndex = index;
    m_color = index == 0 ? m_otherColor : m_paletteColors.at(index);
    update();
    emit OnColorChange(this);
}

void TZEBColorButton::setButtonStyle(int style)
{
    if (style == m_buttonStyle)
        return;
    m_buttonStyle = style;
    update();
}

void TZEBColorButton::setCustomColorsStore(CustomColorsLoader loader, CustomColorsSaver saver)
{
    m_loadCustomColors = std::move(loader);
    m_saveCustomColors = std::move(saver);
}

void TZEBColorButton::setArrowBitmap(const QImage &image)
{
    if (image.isNull())
        return;
    m_arrow = image.copy();
    update();
}

void TZEBColorButton::setArrowDisabledBitmap(const QImage &image)
{
    if (image.isNull())
        return;
    m_arrowDisabled = image.copy();
    update();
}

QImage TZEBColorButton::defaultArrowBitmap(bool disabled)
{
    // 7 x 5 on olive, the background colour: a downward triangle 5, 3 and 1 pixels
    // wide in rows 2 to 4.
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x80, 0x00));
    const QColor ink = disabled ? QColor(0x80, 0x80, 0x80) : QColor(Qt::black);
    for (int row = 1; row <= 3; ++row)
        for (int x = row; x <= 6 - row; ++x)
            image.setPixelColor(x, row, ink);
    return image;
}

void TZEBColorButton::SetDefaultColors()
{
    m_paletteColors.assign(TZEBColorButtonPalette::defaultPaletteColors());
    TColorArrayClass custom(8, 2);
    for (int i = 1; i <= custom.count(); ++i)
        custom.setAt(i, White);
    m_customColors.assign(custom);
    m_otherColor = WidgetColors::ButtonFace;
}

QString TZEBColorButton::GetSectionName() const
{
    if (const QWidget *parent = parentWidget())
        return parent->objectName() + QLatin1Char('.') + objectName();
    return objectName();
}

QString TZEBColorButton::customColorsText(const TColorArrayClass &colors)
{
    QStringList fields;
    for (uint32_t color : colors.storedColors())
        fields << QStringLiteral("$%1").arg(color, 8, 16, QLatin1Char('0')).toUpper();
    return fields.join(QLatin1Char(','));
}

void TZEBColorButton::readCustomColorsText(const QString &text, TColorArrayClass &colors)
{
    const QStringList fields = text.split(QLatin1Char(','));
    int i = 0;
    for (int x = 1; x <= colors.XSize(); ++x)
        for (int y = 1; y <= colors.YSize(); ++y, ++i) {
            const QString field = i < fields.size() ? fields.at(i).trimmed() : QString();
            bool ok = false;
            uint32_t value = 0;
            if (field.startsWith(QLatin1Char('$')))
                value = field.mid(1).toUInt(&ok, 16);
            else
                value = uint32_t(field.toInt(&ok, 10));
            colors.setCell(x, y, ok ? value : White);
        }
}

void TZEBColorButton::LoadCustomColors()
{
    m_customColorsLoaded = true;
    m_sectionName = GetSectionName();
    if (m_customColorsKey.isEmpty() || !m_loadCustomColors)
        return;
    const QString text = m_loadCustomColors(m_customColorsKey + QLatin1String("\\Colors"), m_sectionName);
    if (!text.isEmpty())
        readCustomColorsText(text, m_customColors);
}

void TZEBColorButton::SaveCustomColors()
{
    if (m_customColorsKey.isEmpty() || !m_saveCustomColors)
        return;
    const QString section = m_customColorsLoaded ? m_sectionName : GetSectionName();
    m_saveCustomColors(m_customColorsKey + QLatin1String("\\Colors"), section,
                       customColorsText(m_customColors));
}

QRect TZEBColorButton::swatchRect(const QSize &size, bool down)
{
    QRect r(QPoint(0, 0), size);
    if (down)
        r.translate(1, 1);
    r.adjust(3 + 1 + 2, 3 + 1 + 1, -(3 + 1 + 2), -(3 + 1 + 1));
    r.setWidth(r.width() - 10);
    return r;
}

void TZEBColorButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    const QColor frame = WidgetColors::toQColor(WidgetColors::WindowFrame, pal);
    const QColor face = WidgetColors::toQColor(WidgetColors::ButtonFace, pal);
    const QColor shadow = WidgetColors::toQColor(WidgetColors::ButtonShadow, pal);
    const QColor highlight = WidgetColors::toQColor(WidgetColors::ButtonHighlight, pal);
    const bool down = isDown() || m_paletteShowing;
    const bool hot = m_mouseInControl || hasFocus();

    QRect r = rect().adjusted(0, 0, -1, -1); // inclusive corners
    if (down) {
        p.setPen(frame);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        r.adjust(1, 1, -1, -1);
        p.setPen(shadow);
        p.setBrush(face);
        p.drawRect(r);
    } else if (isFlat() && hot) {
        WidgetColors::drawEdge(p, r, highlight, shadow);
        p.fillRect(r.adjusted(1, 1, -1, -1), face);
    } else if (isFlat()) {
        p.fillRect(rect(), face); // flat and neither hot nor focused: no edge shows
    } else {
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        option.icon = QIcon();
        style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    }

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().translated(down ? QPoint(1, 1) : QPoint()).adjusted(3, 3, -3, -3);
        focus.backgroundColor = face;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }

    const QRect swatch = swatchRect(size(), down);
    const QRect outline = swatch.adjusted(0, 0, -1, -1); // a stroked QRect covers one pixel more
    p.setPen(frame);
    if (isEnabled() && !m_hasColor) {
        // No colour: an empty square struck through, never black.
        p.setBrush(Qt::white);
        p.drawRect(outline);
        p.setPen(QPen(QColor(0xd0, 0, 0), 1));
        p.drawLine(outline.bottomLeft() + QPoint(1, -1), outline.topRight() + QPoint(-1, 1));
    } else if (isEnabled()) {
        p.setBrush(WidgetColors::toQColor(m_color));
        p.drawRect(outline);
    } else {
        // The colour is never shown while disabled.
        p.setBrush(Qt::NoBrush);
        p.drawRect(outline);
        drawHatch(p, swatch.adjusted(1, 1, -1, -1));
    }

    const int right = swatch.x() + swatch.width();
    p.setPen(shadow);
    p.drawLine(right + 3, swatch.top(), right + 3, swatch.bottom());
    p.setPen(highlight);
    p.drawLine(right + 4, swatch.top(), right + 4, swatch.bottom());

    const QImage arrow = transparentArrow(isEnabled() ? m_arrow : m_arrowDisabled);
    p.drawImage(right + 5, swatch.y() + (swatch.height() - arrow.height()) / 2, arrow);
}

void TZEBColorButton::enterEvent(QEnterEvent *e)
{
    m_mouseInControl = true;
    if (isFlat())
        update();
    QPushButton::enterEvent(e);
}

void TZEBColorButton::leaveEvent(QEvent *e)
{
    m_mouseInControl = false;
    if (isFlat())
        update();
    QPushButton::leaveEvent(e);
}

void TZEBColorButton::focusInEvent(QFocusEvent *e)
{
    update();
    QPushButton::focusInEvent(e);
}

void TZEBColorButton::focusOutEvent(QFocusEvent *e)
{
    update();
    QPushButton::focusOutEvent(e);
}

void TZEBColorButton::mousePressEvent(QMouseEvent *e)
{
    // A press on the button while its palette is open closes the palette; the click
    // it starts must not open it again.
    if (e->button() == Qt::LeftButton && m_palette) {
        m_palette->close();
        m_ignoreNextClick = true;
    }
    QPushButton::mousePressEvent(e);
}

void TZEBColorButton::mouseReleaseEvent(QMouseEvent *e)
{
    m_clickPos = e->position().toPoint();
    m_clickByMouse = true;
    QPushButton::mouseReleaseEvent(e);
    m_clickByMouse = false;
}

void TZEBColorButton::showEvent(QShowEvent *e)
{
    if (!m_customColorsLoaded)
        LoadCustomColors();
    QPushButton::showEvent(e);
}

void TZEBColorButton::ButtonClick()
{
    if (m_ignoreNextClick) {
        m_ignoreNextClick = false;
        return;
    }
    const QPoint pos = m_clickByMouse ? m_clickPos : mapFromGlobal(QCursor::pos());
    const bool onArrow = pos.x() > width() - 13;
    if (m_cycleColors && !onArrow) {
        setPaletteIndex(m_paletteIndex >= PaletteSize ? 0 : m_paletteIndex + 1);
        return;
    }
    openPalette();
}

void TZEBColorButton::openPalette()
{
    auto *palette = new TZEBColorButtonPalette(this);
    QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect workArea = where ? where->availableGeometry() : QRect();
    palette->move(TZEBColorButtonPalette::placement(QRect(mapToGlobal(QPoint(0, 0)), size()), palette->size(),
                                                    workArea));
    palette->setShowColorHints(m_showColorHints);
    palette->setOtherButtonCaption(m_otherBtnCaption);
    palette->setOtherColor(m_otherColor);
    connect(palette, &TZEBColorButtonPalette::OnSetParentColor, this, &TZEBColorButton::PaletteSetColor);
    connect(palette, &TZEBColorButtonPalette::OnPaletteClose, this, &TZEBColorButton::PaletteClosed);
    palette->setPaletteColors(m_paletteColors);
    palette->setCustomColors(m_customColors);
    palette->setOnGetColorHintText(m_onGetColorHintText);
    palette->setDialogNote(m_dialogNote);
    palette->SetStartColor(m_color);

    m_palette = palette;
    m_paletteShowing = true;
    update();
    palette->show();
    palette->activateWindow();
    palette->setFocus();
}

void TZEBColorButton::PaletteSetColor(bool isOther, uint32_t color)
{
    setColor(color);
    if (isOther)
        m_otherColor = color;
}

void TZEBColorButton::PaletteClosed()
{
    TZEBColorButtonPalette *palette = m_palette;
    if (!palette)
        return;
    const bool hadFocus = palette->isActiveWindow();
    // The press that took activation from the palette was on this button: the
    // click it makes closes the palette and must not open it again.
    if (!palette->closedByKey() && rect().contains(mapFromGlobal(QCursor::pos())))
        m_ignoreNextClick = true;
    m_customColors.assign(palette->customColors());
    m_paletteShowing = false;
    update();
    m_palette = nullptr;
    // The palette was chosen from or dismissed from the keyboard: give the focus
    // back to the button's window rather than leaving no window active.
    if (hadFocus)
        window()->activateWindow();
}
