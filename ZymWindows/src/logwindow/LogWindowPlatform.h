#pragma once

#include "logwindow/ConsoleView.h"

#include <memory>
#include <string>

namespace ZymThread {
class EventSemaphore;
}

namespace ZymWindows::Platform {

// What a log window is made from: its caption, client size in pixels and
// the window system's icon handle (may be null).
struct LogWindowSettings {
    std::u16string title;
    int width = 0;
    int height = 0;
    void* icon = nullptr;
    unsigned int maxEntries = 0;
    ZymThread::EventSemaphore* closeEvent = nullptr;
};

// One log window: made on the thread that creates the log, it owns the
// view of the rows and wakes the window thread for it; Run is the window
// thread's body.
class LogWindowHost : public LogWindow::WindowThreadLink {
public:
    LogWindow::ConsoleView& View() noexcept { return m_View; }

    // Creates the window (hidden), signals `ready`, then serves the window
    // until `stop` is signalled, and destroys it. On the window thread.
    virtual void Run(ZymThread::EventSemaphore& ready, ZymThread::EventSemaphore& stop) = 0;
    // Whether a display shows the window.
    virtual bool HasDisplay() const noexcept = 0;

protected:
    explicit LogWindowHost(const LogWindowSettings& settings)
        : m_View(settings.title, settings.width, settings.height, settings.maxEntries,
                 settings.closeEvent, *this) {}

private:
    LogWindow::ConsoleView m_View;
};

// Called on the thread that creates the log.
std::unique_ptr<LogWindowHost> NewLogWindowHost(const LogWindowSettings& settings);

} // namespace ZymWindows::Platform
