#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QTest>
#include <memory>

std::vector<std::pair<const char *, TestRegistry::Factory>> &TestRegistry::classes()
{
    static std::vector<std::pair<const char *, TestRegistry::Factory>> all;
    return all;
}

// Runs every registered test class. "-class NAME" runs only that class; the other
// arguments go to Qt Test as usual (function names, -v2, ...).
int main(int argc, char **argv)
{
    TestEnvironment::prepare();
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    QString only;
    if (const qsizetype i = args.indexOf(QStringLiteral("-class")); i >= 0 && i + 1 < args.size()) {
        only = args.at(i + 1);
        args.remove(i, 2);
    }
    int failures = 0;
    for (const auto &[name, factory] : TestRegistry::classes()) {
        if (!only.isEmpty() && only != QLatin1String(name))
            continue;
        std::unique_ptr<QObject> test(factory());
        failures += QTest::qExec(test.get(), args);
    }
    return failures == 0 ? 0 : 1;
}
