#pragma once

#include <QString>

namespace TestEnvironment {

// Points the registry file, the config folder and the state folder at a fresh
// temporary folder unless CTest already did, so that no test run touches the user's
// own settings or unsaved work.
void prepare();

// The folder that holds the test executable, the catalogue tables and the program's
// other support files.
QString programFolder();

} // namespace TestEnvironment
