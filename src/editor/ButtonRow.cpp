#include "ButtonRow.h"

#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

ButtonRow::ButtonRow(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(41);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *line = new QFrame;
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setFixedHeight(5);
    layout->addWidget(line);
    layout->addStretch(1);
}

QPushButton *ButtonRow::addButton(const QString &caption, QStyle::StandardPixmap picture, int gapAfter)
{
    auto *button = new QPushButton(caption, this);
    if (picture != QStyle::SP_CustomBase)
        button->setIcon(style()->standardIcon(picture));
    button->setAutoDefault(false);
    const int width = std::max(75, button->sizeHint().width());
    button->setGeometry(m_nextX, 11, width, 25);
    m_nextX += width + gapAfter;
    return button;
}
