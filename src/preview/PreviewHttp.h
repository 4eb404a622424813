#pragma once

#include "PreviewServer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>

// The HTTP side of the live preview. It lives in a module of its own beside the program
// (PreviewHttp::ModuleName), loaded when a preview first starts: the HTTP library and
// what it brings with it (TLS, compression) are then loaded only by a program that
// previews, not by every start of the editor or of loomcss.
//
// One object serves one folder from start() until it is destroyed, which ends every
// stream and waits for the server's threads.
class PreviewHttp
{
public:
    // Called on the server's threads.
    struct Events
    {
        std::function<void(int count)> streamsChanged;
        std::function<void(const QByteArray &report)> inspected;
    };

    virtual ~PreviewHttp() = default;

    // Starts serving `root` (a canonical folder; empty for "/") on 127.0.0.1:`port` (0: a
    // free port), every URL under /`token`/. The port listened on, or 0 when the port
    // cannot be had.
    virtual quint16 start(const QString &root, const QString &sheetName, const std::string &token,
                          quint16 port, const PreviewLimits &limits, Events events) = 0;

    virtual void publishSheet(const QString &text) = 0;
    virtual void publishOutline(const QString &selector) = 0;
    virtual void publishInspect(bool on) = 0;

    virtual int openStreams() const = 0;
    virtual int peakConnections() const = 0;

    // The module's file name in the program's folder, and the function it exports that
    // makes a server (a PreviewHttpMaker).
    static constexpr const char *ModuleName = "loomwright-preview.so";
    static constexpr const char *MakerName = "loomwrightPreviewHttp";
    // The built-in sample page's name at the top of the served folder.
    static constexpr const char *SamplePage = "__loomwright-sample.html";
};

extern "C" {
using PreviewHttpMaker = PreviewHttp *(*)();
}
