#include "logwindow/posix/X11Window.h"

#include <Zym/LastError.h>
#include <ZymThread/DescriptorWait.h>
#include <ZymThread/MessageQueue.h>

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>

namespace ZymWindows::Platform {

using ZymWindows::LogWindow::Colour;
using ZymWindows::LogWindow::Font;
using ZymWindows::LogWindow::PaintOp;
using ZymWindows::LogWindow::Rect;
using ZymWindows::LogWindow::WindowEvent;

namespace {

// Xft keeps per-display state in a process-wide list that it changes
// without a lock, and shares font files between displays, so every Xft
// call of the log windows of one process is serialised.
std::mutex g_XftLock;

// Rows are 13 pixels high: faces are asked for at the pixel size whose
// ascent and descent fill that.
constexpr double FONT_PIXEL_SIZE = 11.0;
constexpr const char* FONT_FAMILY = "Tahoma";
constexpr const char* FALLBACK_FAMILY = "DejaVu Sans";

XftFont* OpenFont(Display* display, int screen, int weight) {
    return XftFontOpen(display, screen, XFT_FAMILY, XftTypeString, FONT_FAMILY, XFT_FAMILY,
                       XftTypeString, FALLBACK_FAMILY, XFT_PIXEL_SIZE, XftTypeDouble,
                       FONT_PIXEL_SIZE, XFT_WEIGHT, XftTypeInteger, weight, nullptr);
}

int VirtualKey(KeySym key) {
    switch (key) {
    case XK_Escape:
        return 27;
    case XK_Up:
        return 38;
    case XK_Down:
        return 40;
    default:
        return 0;
    }
}

} // namespace

class DisplayWindow {
public:
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    Colormap colormap = 0;
    GC gc = nullptr;
    XftDraw* draw = nullptr;
    XftFont* bold = nullptr;
    XftFont* normal = nullptr;
    Atom protocols = 0;
    Atom deleteWindow = 0;
    Atom netName = 0;
    Atom utf8 = 0;
    int width = 0;
    int height = 0;
    // Set on the window thread, in the Xlib call that found the
    // connection broken.
    bool lost = false;
    std::map<Colour, XftColor> colours;

    const XftColor& ColourOf(Colour colour) {
        auto found = colours.find(colour);
        if (found != colours.end())
            return found->second;
        // 0x00BBGGRR to 16-bit channels.
        XRenderColor value{static_cast<unsigned short>((colour & 0xFF) * 0x101),
                           static_cast<unsigned short>(((colour >> 8) & 0xFF) * 0x101),
                           static_cast<unsigned short>(((colour >> 16) & 0xFF) * 0x101), 0xFFFF};
        XftColor allocated{};
        XftColorAllocValue(display, visual, colormap, &value, &allocated);
        return colours.emplace(colour, allocated).first->second;
    }

    XftFont* FontOf(Font font) const { return font == Font::Bold ? bold : normal; }

    void Text(const PaintOp& op) {
        if (op.rect.right <= op.rect.left || op.rect.bottom <= op.rect.top)
            return;
        XftDrawRect(draw, &ColourOf(op.background), op.rect.left, op.rect.top,
                    static_cast<unsigned>(op.rect.right - op.rect.left),
                    static_cast<unsigned>(op.rect.bottom - op.rect.top));
        XftFont* font = FontOf(op.font);
        if (op.text.empty() || !font)
            return;
        XRectangle cell{static_cast<short>(op.rect.left), static_cast<short>(op.rect.top),
                        static_cast<unsigned short>(op.rect.right - op.rect.left),
                        static_cast<unsigned short>(op.rect.bottom - op.rect.top)};
        XftDrawSetClipRectangles(draw, 0, 0, &cell, 1);
        const int room = op.rect.bottom - op.rect.top;
        const int baseline = op.rect.top + (room - font->ascent - font->descent) / 2 + font->ascent;
        const auto* bytes = reinterpret_cast<const FcChar8*>(op.text.data());
        const int length = static_cast<int>(op.text.size() * sizeof(char16_t));
        const FcEndian order =
            __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? FcEndianLittle : FcEndianBig;
        XftDrawStringUtf16(draw, &ColourOf(op.foreground), font, op.x, baseline, bytes, order,
                           length);
        if (op.font == Font::Struck) {
            XGlyphInfo extents{};
            XftTextExtentsUtf16(display, font, bytes, order, length, &extents);
            XftDrawRect(draw, &ColourOf(op.foreground), op.x, baseline - font->ascent / 3,
                        extents.xOff, 1);
        }
        XftDrawSetClip(draw, nullptr);
    }

    void Frame(const Rect& r, Colour colour) {
        const XftColor& c = ColourOf(colour);
        const auto w = static_cast<unsigned>(r.right - r.left);
        const auto h = static_cast<unsigned>(r.bottom - r.top);
        XftDrawRect(draw, &c, r.left, r.top, w, 1);
        XftDrawRect(draw, &c, r.left, r.bottom - 1, w, 1);
        XftDrawRect(draw, &c, r.left, r.top, 1, h);
        XftDrawRect(draw, &c, r.right - 1, r.top, 1, h);
    }

    void Focus(const Rect& r) {
        // Every other pixel of the frame, as a dotted focus rectangle.
        const XftColor& c = ColourOf(0x000000);
        for (int x = r.left; x < r.right; x += 2) {
            XftDrawRect(draw, &c, x, r.top, 1, 1);
            XftDrawRect(draw, &c, x, r.bottom - 1, 1, 1);
        }
        for (int y = r.top; y < r.bottom; y += 2) {
            XftDrawRect(draw, &c, r.left, y, 1, 1);
            XftDrawRect(draw, &c, r.right - 1, y, 1, 1);
        }
    }

    void Arrow(const PaintOp& op) {
        const Rect& r = op.rect;
        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        constexpr int size = 4;
        XPoint points[3];
        switch (op.x) {
        case ZymWindows::LogWindow::ARROW_UP:
            points[0] = {short(cx - size), short(cy + size / 2)};
            points[1] = {short(cx + size), short(cy + size / 2)};
            points[2] = {short(cx), short(cy - size / 2)};
            break;
        case ZymWindows::LogWindow::ARROW_DOWN:
            points[0] = {short(cx - size), short(cy - size / 2)};
            points[1] = {short(cx + size), short(cy - size / 2)};
            points[2] = {short(cx), short(cy + size / 2)};
            break;
        case ZymWindows::LogWindow::ARROW_LEFT:
            points[0] = {short(cx + size / 2), short(cy - size)};
            points[1] = {short(cx + size / 2), short(cy + size)};
            points[2] = {short(cx - size / 2), short(cy)};
            break;
        default:
            points[0] = {short(cx - size / 2), short(cy - size)};
            points[1] = {short(cx - size / 2), short(cy + size)};
            points[2] = {short(cx + size / 2), short(cy)};
            break;
        }
        XSetForeground(display, gc, ColourOf(op.foreground).pixel);
        XFillPolygon(display, window, gc, points, 3, Convex, CoordModeOrigin);
    }
};

namespace {

// Xlib's process-wide I/O error handler reports a broken connection and
// exits, and so does the exit handler of each display. A log window must
// outlive its display, so the process-wide handler in place when the first
// window opens is wrapped: for a log window's connection it returns, for
// any other connection the handler it replaced runs as before.
std::mutex g_DisplaysLock;
// A multiset: a closed display's address may be reused by the next window
// before the closed one is forgotten.
std::multiset<Display*> g_LogDisplays;
XIOErrorHandler g_OtherHandler = nullptr;

int OnIOError(Display* display) {
    bool logWindow = false;
    {
        std::lock_guard lock(g_DisplaysLock);
        logWindow = g_LogDisplays.count(display) != 0;
    }
    return logWindow ? 0 : g_OtherHandler(display);
}

// Called in place of exit() once the connection of a log window broke, on
// the window thread, inside the Xlib call that found it broken; that call
// then returns. From then on every call on the display returns at once
// without touching the connection, so the window thread only has to notice
// the flag and close the display.
void ConnectionLost(Display*, void* window) {
    static_cast<DisplayWindow*>(window)->lost = true;
}

void WatchConnection(DisplayWindow& w) {
    static std::once_flag installed;
    std::call_once(installed, [] { g_OtherHandler = XSetIOErrorHandler(OnIOError); });
    {
        std::lock_guard lock(g_DisplaysLock);
        g_LogDisplays.insert(w.display);
    }
    XSetIOErrorExitHandler(w.display, ConnectionLost, &w);
}

void ForgetConnection(Display* display) {
    std::lock_guard lock(g_DisplaysLock);
    g_LogDisplays.erase(g_LogDisplays.find(display));
}

} // namespace

DisplayWindow* CreateLogWindow(const std::string& title, int width, int height,
                               const char* className) {
    XInitThreads();
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        Zym::SetLastError(Zym::ERROR_NOT_READY);
        return nullptr;
    }
    auto* w = new DisplayWindow;
    w->display = display;
    WatchConnection(*w);
    const int screen = DefaultScreen(display);
    w->visual = DefaultVisual(display, screen);
    w->colormap = DefaultColormap(display, screen);
    w->width = width;
    w->height = height;

    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask |
                            ButtonReleaseMask | Button1MotionMask;
    w->window =
        XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixel | CWEventMask, &attributes);

    XClassHint hint{const_cast<char*>(className), const_cast<char*>(className)};
    XSetClassHint(display, w->window, &hint);
    w->protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    w->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    w->netName = XInternAtom(display, "_NET_WM_NAME", False);
    w->utf8 = XInternAtom(display, "UTF8_STRING", False);
    XSetWMProtocols(display, w->window, &w->deleteWindow, 1);
    SetLogWindowCaption(*w, title);
    w->gc = XCreateGC(display, w->window, 0, nullptr);
    {
        std::lock_guard lock(g_XftLock);
        // Xft keeps closed fonts for reuse and frees them only when the
        // display closes, after libXrender has forgotten the display:
        // freeing them then makes libXrender remember it again, under an
        // address that a later connection may reuse with other extension
        // numbers. Fonts are therefore freed as soon as they are closed.
        if (FcPattern* defaults = FcPatternCreate()) {
            FcPatternAddInteger(defaults, XFT_MAX_UNREF_FONTS, 0);
            XftDefaultSet(display, defaults);
        }
        w->draw = XftDrawCreate(display, w->window, w->visual, w->colormap);
        w->bold = OpenFont(display, screen, XFT_WEIGHT_BOLD);
        w->normal = OpenFont(display, screen, XFT_WEIGHT_MEDIUM);
    }
    return w;
}

void DestroyLogWindow(DisplayWindow* w) noexcept {
    if (!w)
        return;
    XFreeGC(w->display, w->gc);
    {
        std::lock_guard lock(g_XftLock);
        for (auto& [colour, allocated] : w->colours)
            XftColorFree(w->display, w->visual, w->colormap, &allocated);
        // The drawing's picture dies with the window, so it goes first.
        XftDrawDestroy(w->draw);
        XDestroyWindow(w->display, w->window);
        if (w->bold)
            XftFontClose(w->display, w->bold);
        if (w->normal)
            XftFontClose(w->display, w->normal);
        XCloseDisplay(w->display);
    }
    // Only now: closing can find the connection broken too.
    ForgetConnection(w->display);
    delete w;
}

unsigned long WaitForLogWindow(DisplayWindow* w, ZymThread::EventSemaphore& stop) {
    ZymThread::EventSemaphore* events[] = {&stop};
    if (!w)
        return ZymThread::MsgWaitForMultipleObjects(1, events);
    XFlush(w->display);
    if (w->lost || XPending(w->display) > 0)
        return ZymThread::WAIT_OBJECT_0 + 2;
    const int queue = ZymThread::MessageQueueHandle();
    if (queue < 0)
        return ZymThread::WAIT_FAILED;
    const ZymThread::DescriptorWait descriptors[] = {{queue, POLLIN},
                                                     {ConnectionNumber(w->display), POLLIN}};
    return ZymThread::WaitForDescriptors(descriptors, 2, events, 1);
}

bool NextWindowEvent(DisplayWindow& w, WindowEvent& event) {
    while (XPending(w.display) > 0) {
        XEvent x;
        XNextEvent(w.display, &x);
        event = WindowEvent{};
        switch (x.type) {
        case ConfigureNotify:
            if (x.xconfigure.width == w.width && x.xconfigure.height == w.height)
                continue;
            w.width = x.xconfigure.width;
            w.height = x.xconfigure.height;
            event.kind = WindowEvent::RESIZED;
            event.x = w.width;
            event.y = w.height;
            return true;
        case Expose:
            if (x.xexpose.count != 0)
                continue;
            event.kind = WindowEvent::EXPOSED;
            return true;
        case ClientMessage:
            if (x.xclient.message_type != w.protocols ||
                static_cast<Atom>(x.xclient.data.l[0]) != w.deleteWindow)
                continue;
            event.kind = WindowEvent::CLOSE;
            return true;
        case KeyPress:
            event.kind = WindowEvent::KEY_DOWN;
            event.key = VirtualKey(XLookupKeysym(&x.xkey, 0));
            return true;
        case ButtonPress:
        case ButtonRelease:
            event.kind = x.type == ButtonPress ? WindowEvent::BUTTON_DOWN : WindowEvent::BUTTON_UP;
            event.x = x.xbutton.x;
            event.y = x.xbutton.y;
            event.button = static_cast<int>(x.xbutton.button);
            return true;
        case MotionNotify:
            event.kind = WindowEvent::POINTER_MOVE;
            event.x = x.xmotion.x;
            event.y = x.xmotion.y;
            return true;
        default:
            continue;
        }
    }
    return false;
}

bool IsLogWindowLost(const DisplayWindow& w) {
    return w.lost;
}

void ShowLogWindow(DisplayWindow& w, bool show) {
    if (show)
        XMapRaised(w.display, w.window);
    else
        XUnmapWindow(w.display, w.window);
    XFlush(w.display);
}

void SetLogWindowCaption(DisplayWindow& w, const std::string& caption) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(caption.data());
    const int length = static_cast<int>(caption.size());
    XChangeProperty(w.display, w.window, XA_WM_NAME, w.utf8, 8, PropModeReplace, bytes, length);
    XChangeProperty(w.display, w.window, w.netName, w.utf8, 8, PropModeReplace, bytes, length);
}

void DrawLogWindow(DisplayWindow& w, const std::vector<PaintOp>& ops, const Rect& clip) {
    XRectangle area{static_cast<short>(clip.left), static_cast<short>(clip.top),
                    static_cast<unsigned short>(clip.right - clip.left),
                    static_cast<unsigned short>(clip.bottom - clip.top)};
    XSetClipRectangles(w.display, w.gc, 0, 0, &area, 1, Unsorted);
    std::lock_guard lock(g_XftLock);
    for (const PaintOp& op : ops) {
        switch (op.kind) {
        case PaintOp::FILL:
            XftDrawRect(w.draw, &w.ColourOf(op.background), op.rect.left, op.rect.top,
                        static_cast<unsigned>(std::max(op.rect.right - op.rect.left, 0)),
                        static_cast<unsigned>(std::max(op.rect.bottom - op.rect.top, 0)));
            break;
        case PaintOp::TEXT:
            w.Text(op);
            break;
        case PaintOp::FRAME:
            w.Frame(op.rect, op.foreground);
            break;
        case PaintOp::FOCUS:
            w.Focus(op.rect);
            break;
        case PaintOp::ARROW:
            w.Arrow(op);
            break;
        }
    }
    XFlush(w.display);
}

} // namespace ZymWindows::Platform
