#include "EntrySequence.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return EntrySequence::run(app);
}
