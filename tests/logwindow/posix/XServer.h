#pragma once

#include "../Eventually.h"

#include <csignal>
#include <string>

struct _XDisplay;

namespace logwindowtest {

// An X window id.
using XWindow = unsigned long;

// An Xvfb of this process, on a free display number it picks itself, and
// ended with the object (or by Kill, as a crash would end it).
class Xvfb {
public:
    Xvfb();
    ~Xvfb() { Stop(SIGTERM); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    const std::string& Display() const { return m_Display; }
    // SIGKILL, and waits until the server is gone.
    void Kill() { Stop(SIGKILL); }

private:
    void Stop(int signal);

    int m_Pid = -1;
    std::string m_Display;
};

// The X server shared by the tests of this process, started on first use
// and stopped when the tests end. A test that cannot get one fails.
const std::string& TestDisplay();

// A client connection of the test's own to a display, to look at the log
// windows and to send them input.
class ScreenClient {
public:
    explicit ScreenClient(const std::string& display = TestDisplay());
    ~ScreenClient();
    ScreenClient(const ScreenClient&) = delete;
    ScreenClient& operator=(const ScreenClient&) = delete;

    // The top-level log window captioned `caption`, once it is mapped
    // (waiting as Eventually does); 0, failing the test, if it never is.
    XWindow LogWindow(const std::string& caption);
    // The window's caption (_NET_WM_NAME), now or once it reads `caption`.
    std::string Caption(XWindow window);
    bool CaptionBecomes(XWindow window, const std::string& caption) {
        return Eventually([&] { return Caption(window) == caption; });
    }
    bool IsMapped(XWindow window);
    // The colour at (x, y) of the window as 0xRRGGBB; -1 when it cannot be
    // read (not mapped).
    long Pixel(XWindow window, int x, int y);

    void Click(XWindow window, int x, int y, unsigned int button = 1);
    void Key(XWindow window, unsigned long keysym);
    void Close(XWindow window);

private:
    _XDisplay* m_Display;
};

} // namespace logwindowtest
