#include "ColourTool.h"

#include "TZEBColorButton.h"
#include "WidgetColors.h"

#include <QColorDialog>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

using ValueText::ColourForm;

namespace {

constexpr ColourForm MenuForms[] = {ColourForm::Hex,   ColourForm::Rgb,   ColourForm::Hsl,
                                    ColourForm::Hwb,   ColourForm::Lab,   ColourForm::Lch,
                                    ColourForm::Oklab, ColourForm::Oklch, ColourForm::DisplayP3};

ColorsValue srgbOf(const QColor &colour)
{
    ColorsValue value{};
    value.kind = COLORS_KIND_VALUE;
    value.space = COLORS_SRGB;
    value.c[0] = colour.redF();
    value.c[1] = colour.greenF();
    value.c[2] = colour.blueF();
    value.alpha = 1;
    return value;
}

QString hexOf(const ColorsValue &colour)
{
    char buffer[16];
    ColorsValue opaque = colour;
    opaque.alpha = 1;
    opaque.missing = 0;
    const size_t length = ColorsFormat(&opaque, COLORS_FORM_HEX, -1, 0, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? QString::fromLatin1(buffer, qsizetype(length)) : QString();
}

QString mark(bool pass)
{
    return pass ? QStringLiteral("\u2713") : QStringLiteral("\u2717");
}

} // namespace

ColourTool::ColourTool(TZEBColorButton *button, QPoint infoAt)
    : QObject(button), m_button(button), m_info(new QLabel(button->parentWidget())),
      m_backgroundButton(new QToolButton(button->parentWidget())), m_menu(new QMenu(button))
{
    m_info->setObjectName(QStringLiteral("ColourInfo"));
    QFont small = m_info->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    m_info->setFont(small);
    m_info->setGeometry(infoAt.x(), infoAt.y(), 58, 46);
    m_info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_info->setTextFormat(Qt::PlainText);

    // The background the contrast is measured on: a small square at the ratio's right.
    m_backgroundButton->setObjectName(QStringLiteral("ContrastBackground"));
    m_backgroundButton->setGeometry(infoAt.x() + 58, infoAt.y() + 1, 11, 11);
    m_backgroundButton->setAutoRaise(false);
    connect(m_backgroundButton, &QToolButton::clicked, this, &ColourTool::chooseBackground);

    // The button's menu: the colour written in another form.
    m_menu->setTitle(QStringLiteral("Write Colour As"));
    for (const ColourForm form : MenuForms) {
        QAction *action = m_menu->addAction(formName(form));
        action->setCheckable(true);
        action->setData(int(form));
        connect(action, &QAction::triggered, this, [this, form] { emit formChosen(form); });
    }
    m_button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_button, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (m_button->isEnabled())
            m_menu->popup(m_button->mapToGlobal(at));
    });

    // The palette's hint for the value's colour says what it is.
    m_button->setOnGetColorHintText([this](QObject *, uint32_t color, int, int, QString &hint) {
        if (m_colour.kind == COLORS_KIND_VALUE && WidgetColors::resolve(color) == ColorsToBgr(&m_colour))
            hint += QLatin1Char('\n') + m_colourText +
                    (m_outsideSrgb ? QStringLiteral(" (outside sRGB)") : QString());
    });
    refresh();
}

QString ColourTool::formName(ColourForm form)
{
    switch (form) {
    case ColourForm::Hex:
        return QStringLiteral("&Hex");
    case ColourForm::Rgb:
        return QStringLiteral("&rgb()");
    case ColourForm::Hsl:
        return QStringLiteral("h&sl()");
    case ColourForm::Hwb:
        return QStringLiteral("h&wb()");
    case ColourForm::Lab:
        return QStringLiteral("&lab()");
    case ColourForm::Lch:
        return QStringLiteral("l&ch()");
    case ColourForm::Oklab:
        return QStringLiteral("o&klab()");
    case ColourForm::Oklch:
        return QStringLiteral("&oklch()");
    case ColourForm::DisplayP3:
        return QStringLiteral("color(&display-p3)");
    }
    return {};
}

void ColourTool::showValue(QStringView value, bool formsEnabled)
{
    const ValueText::ColourPart part = ValueText::firstColour(value, ValueText::ColourSearch::Plain);
    m_colour = part.found ? part.colour.color : ColorsValue{};
    m_colourText = part.found ? value.sliced(part.start, part.length).toString() : QString();
    m_form = part.found ? ValueText::formOf(part.colour) : std::nullopt;
    m_formsEnabled = formsEnabled;
    m_shown = true;
    refresh();
}

void ColourTool::clear()
{
    m_colour = ColorsValue{};
    m_colourText.clear();
    m_form.reset();
    m_formsEnabled = false;
    m_shown = false;
    refresh();
}

void ColourTool::setBackground(const QColor &background)
{
    if (!background.isValid())
        return;
    m_background = background.toRgb();
    m_background.setAlpha(255);
    refresh();
}

void ColourTool::chooseBackground()
{
    QColorDialog dialog(m_background, m_button->window());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QStringLiteral("Contrast Background"));
    if (dialog.exec() == QDialog::Accepted)
        setBackground(dialog.selectedColor());
}

void ColourTool::refresh()
{
    const bool hasColour = m_colour.kind == COLORS_KIND_VALUE;
    const ColorsValue background = srgbOf(m_background);
    m_contrast = hasColour ? ValueText::contrastRatio(m_colour, background) : 0;
    m_outsideSrgb = hasColour && !ColorsInSrgb(&m_colour);

    m_backgroundButton->setStyleSheet(
        QStringLiteral("QToolButton { background: %1; border: 1px solid #808080; }")
            .arg(m_background.name()));
    m_backgroundButton->setToolTip(
        QStringLiteral("Background for the contrast: %1 (click to choose)").arg(m_background.name()));
    m_backgroundButton->setVisible(hasColour);

    for (QAction *action : m_menu->actions()) {
        action->setEnabled(hasColour && m_formsEnabled);
        action->setChecked(m_form && int(*m_form) == action->data().toInt());
    }

    if (!hasColour) {
        m_info->setText(m_shown ? QStringLiteral("No colour") : QString());
        m_info->setToolTip(QString());
        m_button->setDialogNote(QString());
        return;
    }
    const QString screen = hexOf(m_colour);
    QString text = QStringLiteral("%1:1\nAA %2 AAA %3\nLarge %4 %5")
                       .arg(QString::number(m_contrast, 'f', 2), mark(m_contrast >= 4.5),
                            mark(m_contrast >= 7), mark(m_contrast >= 3), mark(m_contrast >= 4.5));
    if (m_outsideSrgb)
        text += QStringLiteral("\nOutside sRGB");
    m_info->setText(text);
    QString details = QStringLiteral("%1\nContrast %2 : 1 on %3 (WCAG 2.x)\n"
                                     "Normal text: AA %4, AAA %5\nLarge text: AA %6, AAA %7")
                          .arg(m_colourText, QString::number(m_contrast, 'f', 2), m_background.name(),
                               m_contrast >= 4.5 ? QStringLiteral("pass") : QStringLiteral("fail"),
                               m_contrast >= 7 ? QStringLiteral("pass") : QStringLiteral("fail"),
                               m_contrast >= 3 ? QStringLiteral("pass") : QStringLiteral("fail"),
                               m_contrast >= 4.5 ? QStringLiteral("pass") : QStringLiteral("fail"));
    if (m_outsideSrgb)
        details += QStringLiteral("\nOutside sRGB: the screen shows %1").arg(screen);
    m_info->setToolTip(details);
    m_button->setDialogNote(m_outsideSrgb
                                ? m_colourText + QStringLiteral(" (outside sRGB, shown as %1)").arg(screen)
                                : m_colourText);
}
