#pragma once

#include "ValueText.h"

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QString>

class QLabel;
class QMenu;
class QToolButton;
class TZEBColorButton;

// What stands beside the colour button: the contrast of the colour against a background
// the user picks (WCAG 2.x, white at first) with its AA and AAA marks for normal and
// large text, a note when the colour lies outside sRGB, and the button's menu that
// writes the colour in another form. The same facts go into the palette's hint for the
// value's colour and into the colour dialog's title.
class ColourTool : public QObject
{
    Q_OBJECT
public:
    // The info is laid out at `infoAt` in the button's parent.
    ColourTool(TZEBColorButton *button, QPoint infoAt);

    // Shows the colour of a declaration's value (the one the button edits). The menu's
    // forms are offered when `formsEnabled` and the colour has a fixed value.
    void showValue(QStringView value, bool formsEnabled);
    // Nothing selected: no colour, no contrast.
    void clear();

    // The colour shown (kind COLORS_KIND_NONE for none) and its text.
    const ColorsValue &colour() const { return m_colour; }
    QString colourText() const { return m_colourText; }
    QColor background() const { return m_background; }
    void setBackground(const QColor &background);
    // The WCAG 2.x ratio shown; 0 for no colour.
    double contrast() const { return m_contrast; }
    bool outsideSrgb() const { return m_outsideSrgb; }

    QLabel *info() const { return m_info; }
    QToolButton *backgroundButton() const { return m_backgroundButton; }
    QMenu *formMenu() const { return m_menu; }

    // The names the menu gives the forms ("oklch()", "color(display-p3)"...).
    static QString formName(ValueText::ColourForm form);

signals:
    // The user chose a form in the button's menu.
    void formChosen(ValueText::ColourForm form);

private:
    void chooseBackground();
    void refresh();

    TZEBColorButton *m_button;
    QLabel *m_info;
    QToolButton *m_backgroundButton;
    QMenu *m_menu;
    ColorsValue m_colour{};
    QString m_colourText;
    std::optional<ValueText::ColourForm> m_form;
    bool m_formsEnabled = false;
    bool m_shown = false; // a colour declaration is shown
    QColor m_background = Qt::white;
    double m_contrast = 0;
    bool m_outsideSrgb = false;
};
