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

} // namespace ProcessMemory
