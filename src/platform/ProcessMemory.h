#pragma once

// How the process keeps the memory it frees. The program calls this once at the start
// of main(), before anything large is made.
namespace ProcessMemory {

// Large blocks (from 1 MB: a style sheet's text, the element view's rows, the code
// window's text) are taken from the system on their own and given back as soon as
// they are freed, instead of staying in the heap. Opening a 10 MB style sheet
// otherwise leaves tens of megabytes of freed text in the heap, which the next large
// step (Edit Code, a re-read) does not reuse and adds to. Does nothing where the C
// library offers no such setting.
void returnLargeBlocksToSystem();

// Gives the heap's free pages back to the system: called when a large step that made
// and freed much (reading a style sheet: its bytes, the reader's and the check's
// working lists) is over, so that what it freed is not kept as the program's memory.
void giveBackFreedMemory();

} // namespace ProcessMemory
