#pragma once

#include "logwindow/LogWindowPlatform.h"
#include "logwindow/win32/GdiPainter.h"

#include <atomic>
#include <memory>
#include <string>

// After the log window's own headers, whose names some of its macros
// would replace.
#include <windows.h>

namespace ZymWindows::Platform {

// A Win32 window of the log: the system draws its frame and scroll bars,
// the view its rows, on WM_PAINT. Notifications from other threads reach
// it as window messages (new rows, repaints, visibility).
class Win32LogWindow : public LogWindowHost {
public:
    // On the thread that creates the log, whose desktop the window joins.
    explicit Win32LogWindow(const LogWindowSettings& settings);

    void Post(unsigned int message) noexcept override;
    bool HasDisplay() const noexcept override { return m_Window != nullptr; }
    void Run(ZymThread::EventSemaphore& ready, ZymThread::EventSemaphore& stop) override;

    // The window procedure's handling of a message to this window, which
    // then goes on to DefWindowProcW unless it is WM_PAINT.
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND Create();
    void Paint(HWND window);
    // Brings the window up to the view: the area the view invalidated, the
    // scroll bars, the caption and the visibility.
    void Update(HWND window);

    const std::u16string m_Title;
    const int m_Width;
    const int m_Height;
    const HICON m_Icon;
    const HDESK m_Desktop;
    std::atomic<HWND> m_Window{nullptr};
    // The window thread's own.
    std::unique_ptr<GdiPainter> m_Painter;
    LogWindow::ScrollBar m_ShownVertical;
    LogWindow::ScrollBar m_ShownHorizontal;
    std::u16string m_ShownCaption;
    bool m_Shown = false;
};

} // namespace ZymWindows::Platform
