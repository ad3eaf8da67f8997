#pragma once

#include <ZymWindows/Export.h>

#include <Zym/Log.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <memory>
#include <string>

namespace ZymWindows {

namespace Platform {
class LogWindowHost;
}

// A log sink that shows the log's entries live in a window of its own: a
// time column, each entry's text in the font and colours of its severity,
// and a progress bar for entries still open. A click on a row freezes the
// log (threads adding entries wait) so the row can be read; Escape thaws
// it. Closed entries are dropped, oldest first, beyond `maxEntries` rows.
//
// The window lives on a thread of its own, which owns every call to the
// window system. On X11, without a display the sink still keeps its rows
// (and trims them) but draws nothing; its first row then says so. A
// display that goes away (the X server ends) leaves the sink in the same
// state, thawed, with a row saying so; the application goes on.
class ZYMWINDOWS_EXPORT ConsoleLog : public Zym::LogCallInterface {
public:
    // The window message that announces new rows to the window thread.
    static constexpr unsigned int MSG_NEW_ENTRY = 0x400;
    // The window class (X11: the class of WM_CLASS).
    static constexpr const char* WINDOW_CLASS = "{1A4F8CAB-C8EF-4a6d-86C0-8F7A141D57F8}";

    // `icon` is the window class's icon (an HICON; unused on X11); the close
    // event, if any, is signalled when the user closes the window, which
    // otherwise hides it. Raises through ThrowLastError when the window
    // thread cannot be started.
    explicit ConsoleLog(const std::u16string& title = u"Console Window", int width = 1024,
                        int height = 768, void* icon = nullptr,
                        ZymThread::EventSemaphore* closeEvent = nullptr,
                        unsigned int maxEntries = 1000);
    ~ConsoleLog() override;
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    // The window is created hidden.
    void Show();
    void Hide();
    bool IsVisible() const;

    void EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;
    void EntryClosed(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;
    void EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;
    void EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry,
                      EntryChanges changes) override;

    // Whether a display shows the window (false once it is lost).
    bool HasDisplay() const;

private:
    void* EntryPoint(void* argument);

    std::unique_ptr<Platform::LogWindowHost> m_Window;
    ZymThread::EventSemaphore m_Ready{false, false};
    ZymThread::EventSemaphore m_Stop{true, false};
    Zym::SmartPtr<ZymThread::Thread> m_Thread;
};

} // namespace ZymWindows
