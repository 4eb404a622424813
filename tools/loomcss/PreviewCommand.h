#pragma once

#include <QStringList>

class Catalogue;
class Document;

// loomcss preview SHEET [--page PAGE] [--port N] [--no-open]: serves PAGE's folder (or
// the built-in sample page) to the user's browser on 127.0.0.1, prints the page's URL
// (with its token) as the first line of standard output, opens it in the browser unless
// --no-open, and pushes the sheet's text to the page each time the file changes on disk.
// A text the reader refuses is not pushed; its reason goes to standard error. Runs until
// SIGINT or SIGTERM. Returns the exit status: 0 after a stop by signal, 1 when the page
// cannot be served, 2 for wrong arguments (after printing `usage` on standard error).
int runPreviewCommand(QStringList args, const char *usage, Catalogue &catalogue, Document &document);
