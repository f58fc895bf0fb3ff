// An Xvfb server of a test's own: the server picks a display number nobody uses and reports
// it once it accepts connections, so tests running side by side never share a screen.
#pragma once

#include <string>
#include <sys/types.h>

class XvfbServer {
public:
    // Starts Xvfb with one screen of `geometry` ("1024x768x24"); Running() is false when
    // Xvfb is missing or did not come up within a few seconds.
    explicit XvfbServer(const char* geometry);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return !display_.empty(); }
    // ":N", the value for DISPLAY.
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
