#include "WindowBenchmarkEnvironment.h"

WindowBenchmarkEnvironment::WindowBenchmarkEnvironment()
{
    qputenv("LOOMWRIGHT_REGISTRY", (m_home.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    // Recovery files of the benchmark's unsaved sheets go here too: left in the user's
    // own state folder, they would make the next run's window ask about them.
    qputenv("XDG_STATE_HOME", m_home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
