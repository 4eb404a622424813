#pragma once

#include <QObject>
#include <functional>
#include <vector>

// Each test class of a folder registers itself here; the folder's one executable
// runs them all in registration order.
namespace TestRegistry {

using Factory = std::function<QObject *()>;

std::vector<std::pair<const char *, Factory>> &classes();

struct Registrar
{
    Registrar(const char *name, Factory factory) { classes().emplace_back(name, std::move(factory)); }
};

} // namespace TestRegistry

#define LW_TEST_CLASS(Class)                                                                                 \
    static TestRegistry::Registrar lwTestRegistrar_##Class(#Class, [] { return new Class; });
