#include "logwindow/win32/WindowProcedure.h"

#include <map>
#include <mutex>

#include <ZymThread/CriticalSection.h>

namespace ZymWindows::Platform {

namespace {

ZymThread::CriticalSection g_WindowsLock{4000};
std::map<HWND, Win32LogWindow*> g_Windows;

} // namespace

LRESULT CALLBACK LogWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32LogWindow* log = nullptr;
    {
        std::lock_guard lock(g_WindowsLock);
        if (message == WM_CREATE) {
            log = static_cast<Win32LogWindow*>(
                reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
            g_Windows[window] = log;
        } else if (message == WM_DESTROY) {
            g_Windows.erase(window);
        } else if (const auto found = g_Windows.find(window); found != g_Windows.end()) {
            log = found->second;
        }
    }
    if (log)
        return log->Handle(window, message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace ZymWindows::Platform
