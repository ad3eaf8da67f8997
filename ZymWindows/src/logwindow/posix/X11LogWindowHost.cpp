#include "logwindow/ConsoleInput.h"
#include "logwindow/LogWindowPlatform.h"
#include "logwindow/posix/X11Window.h"

#include <ZymWindows/ConsoleLog.h>

#include <Zym/LogEntry.h>
#include <ZymCharset/Conv.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/MessageQueue.h>
#include <ZymThread/Thread.h>

#include <atomic>

namespace ZymWindows::Platform {

namespace {

constexpr const char16_t* NO_DISPLAY_TEXT =
    u"No X display could be opened (DISPLAY is unset or unreachable): this log window keeps its "
    u"entries but shows nothing.";
constexpr const char16_t* DISPLAY_LOST_TEXT =
    u"The connection to the X display was lost: this log window keeps its entries but shows "
    u"nothing more.";

Zym::SmartPtr<Zym::LogEntryCallInterface> Notice(const char16_t* text) {
    return new Zym::LogEntry(text, Zym::LogEntryCallInterface::SEVERITY_WARNING, true);
}

std::string ToUtf8(const std::u16string& text) {
    return ZymCharset::Conv::FromWide(Zym::CHARSET_UTF8, text);
}

// An X11 window that draws its rows and its scroll bars itself. The window
// thread sleeps on its message queue (new rows, repaints), the display's
// connection and the stop event at once.
class X11LogWindowHost : public LogWindowHost {
public:
    explicit X11LogWindowHost(const LogWindowSettings& settings)
        : LogWindowHost(settings), m_Title(settings.title), m_Width(settings.width),
          m_Height(settings.height) {}

    void Post(unsigned int message) noexcept override {
        // A full queue drops the wake-up; the window catches up with the
        // next message it gets.
        if (const unsigned long thread = m_ThreadId)
            ZymThread::PostThreadMessage(thread, message, 0, 0);
    }

    bool HasDisplay() const noexcept override { return m_HasDisplay; }

    void Run(ZymThread::EventSemaphore& ready, ZymThread::EventSemaphore& stop) override;

private:
    // Draws what changed since the last frame: the invalidated rows, the
    // caption, the bars and the visibility.
    void Draw(DisplayWindow& window);

    const std::u16string m_Title;
    const int m_Width;
    const int m_Height;
    std::atomic<unsigned long> m_ThreadId{0};
    std::atomic<bool> m_HasDisplay{false};
    bool m_Shown = false;
    std::u16string m_Caption;
    LogWindow::ConsoleView::Frame m_Drawn;
};

void X11LogWindowHost::Run(ZymThread::EventSemaphore& ready, ZymThread::EventSemaphore& stop) {
    LogWindow::ConsoleView& view = View();
    m_ThreadId = ZymThread::GetCurrentThreadId();
    // The queue must exist before anyone posts to it: looking at it makes it.
    ZymThread::MSG peeked;
    ZymThread::PeekMessage(&peeked, 0, 0, ZymThread::PM_NOREMOVE);
    DisplayWindow* window =
        CreateLogWindow(ToUtf8(m_Title), m_Width, m_Height, ConsoleLog::WINDOW_CLASS);
    m_HasDisplay = window != nullptr;
    if (!window)
        view.EntryAdded(Notice(NO_DISPLAY_TEXT));
    LogWindow::ConsoleInput input(view);
    if (window)
        input.Handle({LogWindow::WindowEvent::RESIZED, m_Width, m_Height});
    m_Caption = m_Title;
    if (!ready.Set())
        ZymThread::ThrowLastError();

    for (;;) {
        ZymThread::MSG message;
        while (ZymThread::PeekMessage(&message, 0, 0, ZymThread::PM_REMOVE)) {
            if (message.message == LogWindow::MSG_NEW_ENTRY)
                view.MsgNewEntry();
        }
        LogWindow::WindowEvent event;
        while (window && NextWindowEvent(*window, event))
            input.Handle(event);
        if (window && IsLogWindowLost(*window)) {
            // Goes on as without a display; nobody can press Escape now.
            DestroyLogWindow(window);
            window = nullptr;
            m_HasDisplay = false;
            view.Thaw();
            view.EntryAdded(Notice(DISPLAY_LOST_TEXT));
        }
        if (!view.IsVisible())
            view.Thaw();
        if (window)
            Draw(*window);
        const unsigned long woken = WaitForLogWindow(window, stop);
        if (woken == ZymThread::WAIT_OBJECT_0 || woken == ZymThread::WAIT_FAILED)
            break;
    }
    view.Thaw();
    DestroyLogWindow(window);
}

void X11LogWindowHost::Draw(DisplayWindow& window) {
    const bool visible = View().IsVisible();
    if (visible != m_Shown)
        ShowLogWindow(window, m_Shown = visible);
    LogWindow::ConsoleView::Frame frame = View().TakeFrame();
    if (frame.caption != m_Caption)
        SetLogWindowCaption(window, ToUtf8(m_Caption = frame.caption));
    const bool barsChanged =
        frame.vertical != m_Drawn.vertical || frame.horizontal != m_Drawn.horizontal ||
        frame.clientWidth != m_Drawn.clientWidth || frame.clientHeight != m_Drawn.clientHeight;
    if (!frame.paint && !barsChanged)
        return;
    std::vector<LogWindow::PaintOp> ops = std::move(frame.ops);
    const auto bars = LogWindow::ConsoleInput::PaintBars(frame);
    ops.insert(ops.end(), bars.begin(), bars.end());
    DrawLogWindow(
        window, ops,
        {0, 0, frame.clientWidth + LogWindow::BAR_SIZE, frame.clientHeight + LogWindow::BAR_SIZE});
    m_Drawn = std::move(frame);
}

} // namespace

std::unique_ptr<LogWindowHost> NewLogWindowHost(const LogWindowSettings& settings) {
    return std::make_unique<X11LogWindowHost>(settings);
}

} // namespace ZymWindows::Platform
