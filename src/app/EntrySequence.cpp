#include "EntrySequence.h"

#include "ExceptionBox.h"
#include "Messages.h"
#include "TMainForm.h"

#include <QApplication>
#include <memory>

int EntrySequence::run(QApplication &app)
{
    // The application's name is its title: the task bar's text and the caption of the
    // standard exception message box. (A display name would be appended to every
    // window title by some desktops.)
    QCoreApplication::setApplicationName(Messages::ApplicationTitle);
    ExceptionBox::guard(nullptr, [&app] {
        auto mainForm = std::make_unique<TMainForm>();
        mainForm->setPendingCommandLineFile(QCoreApplication::arguments().value(1));
        if (!mainForm->FormCreate())
            return;
        mainForm->show();
        app.exec();
    });
    return 0;
}
