#pragma once

#include <QStyle>
#include <QWidget>

class QPushButton;

// The bottom row of a window: 41 high, an etched line along its top, and push buttons
// 75 x 25 at y 11 from x 1, left to right. A caption that does not fit in the
// desktop's font widens its button and moves the rest along.
class ButtonRow : public QWidget
{
    Q_OBJECT
public:
    explicit ButtonRow(QWidget *parent = nullptr);

    // Adds the next button, with a standard picture unless `picture` is
    // QStyle::SP_CustomBase, followed by `gapAfter` pixels.
    QPushButton *addButton(const QString &caption, QStyle::StandardPixmap picture = QStyle::SP_CustomBase,
                           int gapAfter = 5);

private:
    int m_nextX = 1;
};
