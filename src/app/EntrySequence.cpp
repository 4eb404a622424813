#include "EntrySequence.h"

#include "ExceptionBox.h"
#include "Messages.h"
#include "PendingMessages.h"
#include "TMainForm.h"
#include "TSplashForm.h"

#include <QApplication>
#include <QProgressBar>
#include <memory>

int EntrySequence::run(QApplication &app)
{
    // The application's name is its title: the task bar's text and the caption of the
    // standard exception message box. (A display name would be appended to every
    // window title by some desktops.)
    QCoreApplication::setApplicationName(Messages::ApplicationTitle);
    ExceptionBox::guard(nullptr, [&app] {
        auto splash = std::make_unique<TSplashForm>();
        if (!splash->ContinueStartup)
            return;
        splash->show();
        splash->repaint();
        splash->setProgress(QStringLiteral("Starting program"), 0);
        splash->setProgress(QStringLiteral("Creating window"), 2);
        PendingMessages::processNow();

        auto mainForm = std::make_unique<TMainForm>();
        mainForm->setPendingCommandLineFile(QCoreApplication::arguments().value(1));
        TSplashForm *current = splash.get();
        mainForm->setProgress([&current](const QString &text, int position) {
            if (position >= 0)
                current->setProgress(text, position);
            else
                current->setProgress(text, current->ProgressBar->value());
        });
        if (!mainForm->FormCreate())
            return;
        // From here a hidden start-up screen takes the progress texts (the opening of
        // the command-line style sheet). It runs the start-up work again, but what the
        // first screen has told the user it does not tell again.
        auto hidden =
            std::make_unique<TSplashForm>(QCoreApplication::applicationDirPath(), splash->shownMessages());
        current = hidden.get();
        splash.reset();
        mainForm->show();
        app.exec();
    });
    return 0;
}
