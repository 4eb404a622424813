#pragma once

#include "SupportCheck.h"

#include <QString>
#include <QStringList>

class Catalogue;
class Document;

// loomcss check: the options before the files, then each file read as the editor reads
// it and checked; one report per finding in the chosen format.
struct CheckOptions
{
    enum class Format { Gcc, Tab, Json, Github, Quiet };
    Format format = Format::Gcc;
    bool hints = false;
    // --baseline=widely|newly|YEAR: support marks for what falls outside that target.
    SupportCheck::Target baseline;
    // Takes the options from the front of `args`; false for an unknown or repeated one,
    // or when no file follows, with what is wrong in `problem`.
    bool take(QStringList &args);
    QString problem;
};

// Returns the exit status: 0 without findings, 1 with findings, 2 when a file cannot be
// read (the other files are still checked) or the value syntaxes are missing.
int runCheckCommand(const QStringList &files, const CheckOptions &options, Catalogue &catalogue,
                    Document &document, const QString &folder);
