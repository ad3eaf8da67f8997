#include "XServer.h"

#include <ZymWindows/ConsoleLog.h>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace logwindowtest {

Xvfb::Xvfb() {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    m_Pid = ::fork();
    if (m_Pid == 0) {
        // The server ends with this process however it ends, and keeps its
        // chatter out of the test's output.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const int fd = ::dup(pipe[1]); // without close-on-exec
        const std::string fdText = std::to_string(fd);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-nolisten", "tcp", "-screen", "0",
                 "1280x1024x24", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipe[1]);
    std::string number;
    char c;
    while (::read(pipe[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(pipe[0]);
    if (m_Pid < 0 || number.empty())
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    m_Display = ":" + number;
}

void Xvfb::Stop(int signal) {
    if (m_Pid <= 0)
        return;
    ::kill(m_Pid, signal);
    int status = 0;
    ::waitpid(m_Pid, &status, 0);
    m_Pid = -1;
}

namespace {

std::string Property(Display* display, Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType, &type,
                           &format, &count, &left, &data) == Success &&
        data) {
        value.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return value;
}

} // namespace

const std::string& TestDisplay() {
    XInitThreads(); // this process uses Xlib from several threads
    static const Xvfb server;
    return server.Display();
}

ScreenClient::ScreenClient(const std::string& display) : m_Display(XOpenDisplay(display.c_str())) {
    if (!m_Display)
        throw std::runtime_error("cannot connect to " + display);
}

ScreenClient::~ScreenClient() {
    XCloseDisplay(m_Display);
}

XWindow ScreenClient::LogWindow(const std::string& caption) {
    // WM_CLASS: the instance name and the class, both the log's class.
    const std::string logClass = std::string(ZymWindows::ConsoleLog::WINDOW_CLASS) + '\0';
    XWindow found = 0;
    EXPECT_TRUE(Eventually([&] {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(m_Display, DefaultRootWindow(m_Display), &root, &parent, &children, &count);
        for (unsigned int i = 0; i < count && !found; ++i)
            if (Property(m_Display, children[i], XA_WM_CLASS) == logClass + logClass &&
                Caption(children[i]) == caption && IsMapped(children[i]))
                found = children[i];
        XFree(children);
        return found != 0;
    })) << caption;
    return found;
}

std::string ScreenClient::Caption(XWindow window) {
    return Property(m_Display, window, XInternAtom(m_Display, "_NET_WM_NAME", False));
}

bool ScreenClient::IsMapped(XWindow window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_Display, window, &attributes) &&
           attributes.map_state == IsViewable;
}

long ScreenClient::Pixel(XWindow window, int x, int y) {
    if (!IsMapped(window))
        return -1;
    XImage* image = XGetImage(m_Display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return -1;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    // The test server's screen is 24-bit TrueColor: the pixel is 0xRRGGBB.
    return static_cast<long>(pixel & 0xFFFFFF);
}

void ScreenClient::Click(XWindow window, int x, int y, unsigned int button) {
    for (int type : {ButtonPress, ButtonRelease}) {
        XEvent event{};
        event.xbutton = {type, 0, True, m_Display, window, DefaultRootWindow(m_Display), 0, 0, x, y,
                         0,    0, 0,    button,    True};
        XSendEvent(m_Display, window, True,
                   type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
    }
    XFlush(m_Display);
}

void ScreenClient::Key(XWindow window, unsigned long keysym) {
    XEvent event{};
    event.xkey = {KeyPress, 0, True, m_Display, window, DefaultRootWindow(m_Display),        0,   0,
                  0,        0, 0,    0,         0,      XKeysymToKeycode(m_Display, keysym), True};
    XSendEvent(m_Display, window, True, KeyPressMask, &event);
    XFlush(m_Display);
}

void ScreenClient::Close(XWindow window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_Display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_Display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_Display, window, False, NoEventMask, &event);
    XFlush(m_Display);
}

} // namespace logwindowtest
