#include "EntrySequence.h"
#include "ProcessMemory.h"

#include <QApplication>

int main(int argc, char **argv)
{
    ProcessMemory::returnLargeBlocksToSystem();
    QApplication app(argc, argv);
    return EntrySequence::run(app);
}
