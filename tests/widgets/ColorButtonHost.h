#pragma once

#include "TZEBColorButton.h"

#include <QCursor>
#include <QTest>
#include <QWidget>

// A shown window holding one colour button, away from the screen's corner so that
// the pointer (parked at 0, 0) is never over the button.
struct ColorButtonHost
{
    QWidget window;
    TZEBColorButton *button;

    ColorButtonHost()
    {
        window.setObjectName(QStringLiteral("Panel2"));
        window.setGeometry(200, 200, 200, 120);
        button = new TZEBColorButton(&window);
        button->setObjectName(QStringLiteral("ColorButton"));
        button->move(20, 20);
        window.show();
        QCursor::setPos(0, 0);
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("host window not exposed");
    }

    // Clicks the swatch part of the button and returns the palette it opened.
    TZEBColorButtonPalette *openPalette()
    {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
        return button->paletteWindow();
    }
};
