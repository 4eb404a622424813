#pragma once

#include <QStringList>

// loomcss color [--to FORM] [--precision N] COLOR...: each colour converted to FORM,
// one a line. Returns the exit status: 0, 1 when a text is no colour (or has no fixed
// value), 2 for wrong arguments (after printing `usage` on standard error).
int runColorCommand(QStringList args, const char *usage);
