#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

// A wrong command line: what is wrong ("loomcss: unknown form xml ..."), the commands'
// synopsis (the usage text up to its first command's description) and where the rest is
// told. Returns the exit status of wrong arguments, 2.
inline int usageError(const char *usage, const QString &problem)
{
    QByteArray text;
    if (!problem.isEmpty())
        text += "loomcss: " + problem.toUtf8() + '\n';
    const QByteArray all(usage);
    const qsizetype details = all.indexOf("\n  tree ");
    if (details < 0) {
        text += all;
    } else {
        text += all.left(details + 1);
        text += "Run loomcss --help for what each command does.\n";
    }
    std::fputs(text.constData(), stderr);
    std::fflush(stderr);
    return 2;
}
