#include "WindowBenchmarkEnvironment.h"

WindowBenchmarkEnvironment::WindowBenchmarkEnvironment()
{
    qputenv("LOOMWRIGHT_REGISTRY", (m_home.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
