#pragma once

#include <QTemporaryDir>

// What a benchmark of the real windows sets up before its QApplication: the settings
// file, config and state folders in a temporary folder (never the user's own) and the
// offscreen platform unless another is asked for. Lives as long as the benchmark.
class WindowBenchmarkEnvironment
{
public:
    WindowBenchmarkEnvironment();

private:
    QTemporaryDir m_home;
};
