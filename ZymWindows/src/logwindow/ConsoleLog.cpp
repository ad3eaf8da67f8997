#include "ZymWindows/ConsoleLog.h"

#include "logwindow/ConsoleInput.h"
#include "logwindow/ConsoleView.h"
#include "logwindow/LogWindowPlatform.h"

#include <Zym/LogEntry.h>
#include <ZymCharset/Conv.h>
#include <ZymThread/MessageQueue.h>

#include <atomic>

namespace ZymWindows {

namespace LogWindow {

// Posts to the window thread's queue once that thread has one.
class WindowLink : public WindowThreadLink {
public:
    void SetThread(unsigned long threadId) noexcept { m_ThreadId = threadId; }
    void Post(unsigned int message) noexcept override {
        // A full queue drops the wake-up; the window catches up with the
        // next message it gets.
        if (const unsigned long thread = m_ThreadId)
            ZymThread::PostThreadMessage(thread, message, 0, 0);
    }

private:
    std::atomic<unsigned long> m_ThreadId{0};
};

} // namespace LogWindow

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

} // namespace

// X11 windows take their icon from the window manager, so the icon handle
// has no use here.
ConsoleLog::ConsoleLog(const std::u16string& title, int width, int height, void*,
                       ZymThread::EventSemaphore* closeEvent, unsigned int maxEntries)
    : m_Title(title), m_Width(width), m_Height(height),
      m_Link(std::make_unique<LogWindow::WindowLink>()),
      m_View(std::make_unique<LogWindow::ConsoleView>(title, width, height, maxEntries, closeEvent,
                                                      *m_Link)) {
    m_Thread = new ZymThread::Thread(
        ToUtf8(m_Title), new ZymThread::FunctionT<ConsoleLog>(this, &ConsoleLog::EntryPoint));
    m_Thread->Run();
    const unsigned long result = m_Ready.Wait();
    if (result != ZymThread::WAIT_OBJECT_0 && result != 0x80 && result != ZymThread::WAIT_TIMEOUT)
        ZymThread::ThrowLastError();
}

ConsoleLog::~ConsoleLog() {
    m_Stop.Set();
    // Waits until the window thread has destroyed its window.
    m_Thread = nullptr;
}

void ConsoleLog::Show() {
    m_View->SetVisible(true);
}

void ConsoleLog::Hide() {
    m_View->SetVisible(false);
}

bool ConsoleLog::IsVisible() const {
    return m_View->IsVisible();
}

bool ConsoleLog::HasDisplay() const {
    return m_HasDisplay;
}

void ConsoleLog::EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_View->EntryAdded(entry);
}

void ConsoleLog::EntryClosed(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_View->EntryChanged(entry);
}

void ConsoleLog::EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_View->EntryCancelled(entry);
}

void ConsoleLog::EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry,
                              EntryChanges) {
    m_View->EntryChanged(entry);
}

void* ConsoleLog::EntryPoint(void*) {
    using LogWindow::ConsoleView;
    m_Link->SetThread(ZymThread::GetCurrentThreadId());
    // The queue must exist before anyone posts to it: looking at it makes it.
    ZymThread::MSG peeked;
    ZymThread::PeekMessage(&peeked, 0, 0, ZymThread::PM_NOREMOVE);
    Platform::DisplayWindow* window =
        Platform::CreateLogWindow(ToUtf8(m_Title), m_Width, m_Height, WINDOW_CLASS);
    m_HasDisplay = window != nullptr;
    if (!window)
        m_View->EntryAdded(Notice(NO_DISPLAY_TEXT));
    LogWindow::ConsoleInput input(*m_View);
    if (window)
        input.Handle({LogWindow::WindowEvent::RESIZED, m_Width, m_Height});
    if (!m_Ready.Set())
        ZymThread::ThrowLastError();

    bool shown = false;
    std::u16string caption = m_Title;
    ConsoleView::Frame drawn;
    for (;;) {
        ZymThread::MSG message;
        while (ZymThread::PeekMessage(&message, 0, 0, ZymThread::PM_REMOVE)) {
            if (message.message == MSG_NEW_ENTRY)
                m_View->MsgNewEntry();
        }
        LogWindow::WindowEvent event;
        while (window && Platform::NextWindowEvent(*window, event))
            input.Handle(event);
        if (window && Platform::IsLogWindowLost(*window)) {
            // Goes on as without a display; nobody can press Escape now.
            Platform::DestroyLogWindow(window);
            window = nullptr;
            m_HasDisplay = false;
            m_View->Thaw();
            m_View->EntryAdded(Notice(DISPLAY_LOST_TEXT));
        }
        const bool visible = m_View->IsVisible();
        if (!visible)
            m_View->Thaw();
        if (window) {
            if (visible != shown)
                Platform::ShowLogWindow(*window, shown = visible);
            ConsoleView::Frame frame = m_View->TakeFrame();
            if (frame.caption != caption)
                Platform::SetLogWindowCaption(*window, ToUtf8(caption = frame.caption));
            const bool barsChanged =
                frame.vertical != drawn.vertical || frame.horizontal != drawn.horizontal ||
                frame.clientWidth != drawn.clientWidth || frame.clientHeight != drawn.clientHeight;
            if (frame.paint || barsChanged) {
                std::vector<LogWindow::PaintOp> ops = std::move(frame.ops);
                const auto bars = LogWindow::ConsoleInput::PaintBars(frame);
                ops.insert(ops.end(), bars.begin(), bars.end());
                Platform::DrawLogWindow(*window, ops,
                                        {0, 0, frame.clientWidth + LogWindow::BAR_SIZE,
                                         frame.clientHeight + LogWindow::BAR_SIZE});
                drawn = std::move(frame);
            }
        }
        const unsigned long woken = Platform::WaitForLogWindow(window, m_Stop);
        if (woken == ZymThread::WAIT_OBJECT_0 || woken == ZymThread::WAIT_FAILED)
            break;
    }
    m_View->Thaw();
    Platform::DestroyLogWindow(window);
    return nullptr;
}

} // namespace ZymWindows
