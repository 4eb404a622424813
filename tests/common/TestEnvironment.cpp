#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

void TestEnvironment::prepare()
{
    static QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("LOOMWRIGHT_REGISTRY"))
        qputenv("LOOMWRIGHT_REGISTRY",
                QDir(home.path()).filePath(QStringLiteral("registry.reg")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_STATE_HOME"))
        qputenv("XDG_STATE_HOME", QDir(home.path()).filePath(QStringLiteral("state")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

QString TestEnvironment::programFolder()
{
    return QCoreApplication::applicationDirPath();
}
