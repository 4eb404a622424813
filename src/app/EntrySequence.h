#pragma once

class QApplication;

// The program's entry sequence: start-up, the main window, the message loop.
namespace EntrySequence {

// Runs the program with the application's arguments (an optional style sheet to open);
// gives the exit code, which is 0 in every case.
int run(QApplication &app);

} // namespace EntrySequence
