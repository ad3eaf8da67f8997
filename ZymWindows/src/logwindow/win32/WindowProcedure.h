#pragma once

// Brings in <windows.h> after the log window's headers.
#include "logwindow/win32/Win32LogWindow.h"

namespace ZymWindows::Platform {

// The window procedure of every log window: finds the window's log through
// a process-wide map of window handles, filled on WM_CREATE from the
// creation parameter and emptied on WM_DESTROY.
LRESULT CALLBACK LogWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace ZymWindows::Platform
