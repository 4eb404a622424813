#include "TZEBColorButtonPalette.h"

#include "WidgetColors.h"

#include <QApplication>
#include <QColorDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QToolTip>
#include <qdrawutil.h>

namespace {

constexpr int SquareSize = 18;
constexpr int GridColumns = 4;
constexpr int GridRows = 5;

// The colour dialog keeps its 16 custom colours in two rows of eight; the palette's
// custom grid is 8 x 2 with the same shape, and the dialog numbers its wells column
// by column.
int dialogCustomIndex(int x, int y)
{
    return (x - 1) * 2 + (y - 1);
}

} // namespace

TZEBColorButtonPalette::TZEBColorButtonPalette(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_paletteColors(defaultPaletteColors()),
      m_customColors(8, 2), m_otherColor(WidgetColors::ButtonFace)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(ClientWidth + 2 * Border, ClientHeight + 2 * Border);
    for (int i = 1; i <= m_customColors.count(); ++i)
        m_customColors.setAt(i, 0x00FFFFFFu);

    m_btnOther = new QPushButton(tr("&Other"), this);
    m_btnOther->setFocusPolicy(Qt::ClickFocus);
    m_btnOther->setGeometry(Border + OtherButtonLeft, Border + OtherButtonTop, ClientWidth - 22,
                            OtherButtonHeight);
    m_btnOther->installEventFilter(this);
    connect(m_btnOther, &QPushButton::clicked, this, &TZEBColorButtonPalette::btnOtherClick);

    // Switching to another application closes the palette, unless the colour dialog
    // is up.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            closeUnlessInDialog();
    });
}

TZEBColorButtonPalette::~TZEBColorButtonPalette() = default;

TColorArrayClass TZEBColorButtonPalette::defaultPaletteColors()
{
    using WidgetColors::rgb;
    static constexpr uint32_t rows[GridRows][GridColumns] = {
        {rgb(255, 255, 255), rgb(0, 0, 0), rgb(191, 191, 191), rgb(127, 127, 127)},
        {rgb(255, 0, 0), rgb(127, 0, 0), rgb(255, 255, 0), rgb(127, 127, 0)},
        {rgb(0, 255, 0), rgb(0, 127, 0), rgb(0, 255, 255), rgb(0, 127, 127)},
        {rgb(0, 0, 255), rgb(0, 0, 127), rgb(255, 0, 255), rgb(127, 0, 127)},
        {rgb(191, 215, 191), rgb(159, 191, 239), rgb(255, 247, 239), rgb(159, 159, 159)},
    };
    TColorArrayClass grid(GridColumns, GridRows);
    for (int y = 1; y <= GridRows; ++y)
        for (int x = 1; x <= GridColumns; ++x)
            grid.setCell(x, y, rows[y - 1][x - 1]);
    return grid;
}

QPoint TZEBColorButtonPalette::placement(const QRect &buttonRect, const QSize &paletteSize,
                                         const QRect &workArea)
{
    // Edges as "one past the last pixel", so that a palette may end exactly on the
    // work area's edge.
    const int workRight = workArea.x() + workArea.width();
    const int workBottom = workArea.y() + workArea.height();
    QPoint pos(buttonRect.x(), buttonRect.y() + buttonRect.height());
    if (pos.y() + paletteSize.height() > workBottom)
        pos.setY(buttonRect.y() - paletteSize.height());
    if (pos.x() < workArea.x())
        pos.setX(workArea.x());
    else if (pos.x() + paletteSize.width() > workRight)
        pos.setX(workRight - paletteSize.width());
    return pos;
}

QString TZEBColorButtonPalette::BuildHintText(uint32_t color)
{
    const uint32_t c = WidgetColors::resolve(color);
    return QString::asprintf("RGB = %.3d %.3d %.3d", int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}

bool TZEBColorButtonPalette::isValidSquare(QPoint square)
{
    return square.y() == 0 ||
           (square.x() >= 1 && square.x() <= GridColumns && square.y() >= 1 && square.y() <= GridRows);
}

QRect TZEBColorButtonPalette::squareRect(QPoint square)
{
    if (square.y() == 0) {
        const int top = OtherButtonTop + (OtherButtonHeight - 16) / 2 - 1;
        return QRect(ClientWidth - 19, top, SquareSize, SquareSize);
    }
    return QRect(SquareSize * (square.x() - 1), SquareSize * (square.y() - 1), SquareSize, SquareSize);
}

QPoint TZEBColorButtonPalette::squareAt(QPoint clientPos)
{
    if (!QRect(0, 0, ClientWidth, ClientHeight).contains(clientPos))
        return NoSquare;
    if (squareRect({0, 0}).contains(clientPos))
        return {0, 0};
    const QPoint square(clientPos.x() / SquareSize + 1, clientPos.y() / SquareSize + 1);
    return isValidSquare(square) ? square : NoSquare;
}

void TZEBColorButtonPalette::SetStartColor(uint32_t color)
{
    m_startColor = color;
    const uint32_t wanted = WidgetColors::resolve(color);
    for (int x = 1; x <= m_paletteColors.XSize(); ++x)
        for (int y = 1; y <= m_paletteColors.YSize(); ++y)
            if (WidgetColors::resolve(m_paletteColors.cell(x, y)) == wanted) {
                m_framedSquare = QPoint(x, y);
                update();
                return;
            }
    // Not a palette colour: the other-colour square shows it.
    setOtherColor(color);
}

void TZEBColorButtonPalette::setPaletteColors(const TColorArrayClass &colors)
{
    m_paletteColors.assign(colors);
    update();
}

void TZEBColorButtonPalette::setCustomColors(const TColorArrayClass &colors)
{
    m_customColors.assign(colors);
}

void TZEBColorButtonPalette::setOtherColor(uint32_t color)
{
    m_otherColor = color;
    update();
}

void TZEBColorButtonPalette::setShowColorHints(bool show)
{
    m_showColorHints = show;
    if (!show)
        QToolTip::hideText();
}

void TZEBColorButtonPalette::setOtherButtonCaption(const QString &caption)
{
    m_btnOther->setText(caption);
}

void TZEBColorButtonPalette::frameSquare(QPoint square)
{
    if (square == m_framedSquare || !isValidSquare(square))
        return;
    m_framedSquare = square;
    update();
}

uint32_t TZEBColorButtonPalette::squareColor(QPoint square) const
{
    if (square.y() == 0)
        return m_otherColor;
    return m_paletteColors.cell(square.x(), square.y());
}

QString TZEBColorButtonPalette::GetColorHintText(QPoint square) const
{
    if (!isValidSquare(square))
        return QString();
    const uint32_t color = squareColor(square);
    QString text = BuildHintText(color);
    if (m_onGetColorHintText)
        m_onGetColorHintText(const_cast<TZEBColorButtonPalette *>(this), color, square.x(), square.y(), text);
    return text;
}

bool TZEBColorButtonPalette::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::WindowDeactivate:
        closeUnlessInDialog();
        break;
    case QEvent::ToolTip: {
        if (!m_showColorHints)
            break;
        auto *help = static_cast<QHelpEvent *>(e);
        const QPoint square = squareAt(clientPos(help->pos()));
        const QString text = GetColorHintText(square);
        if (text.isEmpty()) {
            QToolTip::hideText();
            e->ignore();
            return true;
        }
        // The hint's top-left corner goes 8 pixels below the square's bottom-left.
        const QRect area = squareRect(square).translated(Border, Border);
        QToolTip::showText(mapToGlobal(QPoint(area.left(), area.top() + area.height() + 8)), text, this,
                           area);
        return true;
    }
    default:
        break;
    }
    return QWidget::event(e);
}

bool TZEBColorButtonPalette::eventFilter(QObject *watched, QEvent *e)
{
    // Keys reach the palette before its button.
    if (watched == m_btnOther && e->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent *>(e)->key());
    return QWidget::eventFilter(watched, e);
}

void TZEBColorButtonPalette::keyPressEvent(QKeyEvent *e)
{
    if (!handleKey(e->key()))
        QWidget::keyPressEvent(e);
}

bool TZEBColorButtonPalette::handleKey(int key)
{
    if (!isValidSquare(m_framedSquare))
        frameSquare({1, 1});
    QPoint square = m_framedSquare;
    switch (key) {
    case Qt::Key_Left:
        if (square.y() != 0) {
            square.setX(square.x() == 1 ? GridColumns : square.x() - 1);
            frameSquare(square);
        }
        return true;
    case Qt::Key_Right:
        if (square.y() != 0) {
            square.setX(square.x() == GridColumns ? 1 : square.x() + 1);
            frameSquare(square);
        }
        return true;
    case Qt::Key_Up:
        // Rows wrap over 0..5, row 0 being the other-colour square; the column is
        // kept, so coming back from row 0 returns to the same column.
        square.setY(square.y() == 0 ? GridRows : square.y() - 1);
        frameSquare(square);
        return true;
    case Qt::Key_Down:
        square.setY(square.y() == GridRows ? 0 : square.y() + 1);
        frameSquare(square);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose(m_framedSquare);
        m_closedByKey = true;
        close();
        return true;
    case Qt::Key_Escape:
        m_closedByKey = true;
        close();
        return true;
    default:
        return false;
    }
}

void TZEBColorButtonPalette::choose(QPoint square)
{
    if (isValidSquare(square))
        emit OnSetParentColor(square.y() == 0, squareColor(square));
}

void TZEBColorButtonPalette::mouseMoveEvent(QMouseEvent *e)
{
    frameSquare(squareAt(clientPos(e->position().toPoint())));
    QWidget::mouseMoveEvent(e);
}

void TZEBColorButtonPalette::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    choose(squareAt(clientPos(e->position().toPoint())));
    close();
}

void TZEBColorButtonPalette::paintEvent(QPaintEvent *)
{
    // The square under the pointer is framed, as a mouse move would.
    if (underMouse()) {
        const QPoint hot = squareAt(clientPos(mapFromGlobal(QCursor::pos())));
        if (isValidSquare(hot))
            m_framedSquare = hot;
    }

    QPainter p(this);
    const QPalette &pal = QApplication::palette();
    const QColor face = WidgetColors::toQColor(WidgetColors::ButtonFace, pal);
    const QColor shadow = WidgetColors::toQColor(WidgetColors::ButtonShadow, pal);
    const QColor highlight = WidgetColors::toQColor(WidgetColors::ButtonHighlight, pal);
    const QColor darkShadow = WidgetColors::toQColor(WidgetColors::DarkShadow3D, pal);
    const QColor light = WidgetColors::toQColor(WidgetColors::Light3D, pal);

    p.fillRect(rect(), face);
    qDrawWinPanel(&p, rect(), pal, false);
    p.translate(Border, Border);

    auto drawSquare = [&](QPoint square, bool framed) {
        QRect r = squareRect(square).adjusted(0, 0, -1, -1); // inclusive corners
        if (framed) {
            for (const QColor &c : {darkShadow, highlight, darkShadow}) {
                WidgetColors::drawEdge(p, r, c, c);
                r.adjust(1, 1, -1, -1);
            }
        } else {
            WidgetColors::drawEdge(p, r, face, face);
            r.adjust(1, 1, -1, -1);
            WidgetColors::drawEdge(p, r, shadow, highlight);
            r.adjust(1, 1, -1, -1);
            WidgetColors::drawEdge(p, r, darkShadow, light);
            r.adjust(1, 1, -1, -1);
        }
        p.fillRect(r, WidgetColors::toQColor(squareColor(square), pal));
    };

    for (int x = 1; x <= GridColumns; ++x)
        for (int y = 1; y <= GridRows; ++y)
            drawSquare({x, y}, false);
    p.setPen(shadow);
    p.drawLine(2, 93, ClientWidth - 3, 93);
    p.setPen(highlight);
    p.drawLine(2, 94, ClientWidth - 3, 94);
    drawSquare({0, 0}, false);
    if (isValidSquare(m_framedSquare))
        drawSquare(m_framedSquare, true);
}

void TZEBColorButtonPalette::btnOtherClick()
{
    // The palette stays open while the dialog is up, although it loses activation.
    m_inColorDialog = true;
    QPointer<QColorDialog> dialog = new QColorDialog(this);
    dialog->setOption(QColorDialog::DontUseNativeDialog);
    for (int y = 1; y <= m_customColors.YSize(); ++y)
        for (int x = 1; x <= m_customColors.XSize(); ++x)
            QColorDialog::setCustomColor(dialogCustomIndex(x, y),
                                         WidgetColors::toQColor(m_customColors.cell(x, y)));
    dialog->setCurrentColor(WidgetColors::toQColor(m_otherColor));
    if (!m_dialogNote.isEmpty())
        dialog->setWindowTitle(dialog->windowTitle() + QStringLiteral(" \u2014 ") + m_dialogNote);
    QPointer<TZEBColorButtonPalette> self(this);
    const int result = dialog->exec();
    if (!self)
        return;
    m_inColorDialog = false;
    const QColor chosen = dialog ? dialog->selectedColor() : QColor();
    delete dialog;
    if (result != QDialog::Accepted || !chosen.isValid()) {
        activateWindow();
        return;
    }
    m_otherColor = WidgetColors::fromQColor(chosen);
    for (int y = 1; y <= m_customColors.YSize(); ++y)
        for (int x = 1; x <= m_customColors.XSize(); ++x)
            m_customColors.setCell(
                x, y, WidgetColors::fromQColor(QColorDialog::customColor(dialogCustomIndex(x, y))));
    emit OnSetParentColor(true, m_otherColor);
    close();
}

void TZEBColorButtonPalette::closeUnlessInDialog()
{
    if (!m_inColorDialog && isVisible())
        close();
}

void TZEBColorButtonPalette::closeEvent(QCloseEvent *e)
{
    if (m_inColorDialog) {
        e->ignore();
        return;
    }
    if (!m_closeReported) {
        m_closeReported = true;
        emit OnPaletteClose();
    }
    e->accept();
}
