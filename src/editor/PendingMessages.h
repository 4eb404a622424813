#pragma once

// Long steps (start-up, reading a style sheet) let the windows repaint while they run:
// pending window messages are processed, but no user input, so that no second
// command can start in the middle of the step.
namespace PendingMessages {

// Processes pending messages at most every 20 ms; cheap to call in a tight loop. With
// `userInput` the user's input is processed too: for a step under a modal progress
// dialog, which keeps it from every other window and whose Cancel must be heard.
void process(bool userInput = false);

// Processes pending messages at once (after a progress change on the start-up screen).
void processNow(bool userInput = false);

} // namespace PendingMessages
