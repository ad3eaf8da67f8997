#include "StopRequest.h"

#include <windows.h>

namespace zymwin {

namespace {

HANDLE g_StopRequested = nullptr;

// Runs on a thread of the system's own; the waiting thread does the work.
BOOL WINAPI OnConsoleControl(DWORD) {
    ::SetEvent(g_StopRequested);
    return TRUE;
}

} // namespace

void PrepareForStopRequest() {
    g_StopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WaitForStopRequest() {
    ::WaitForSingleObject(g_StopRequested, INFINITE);
}

} // namespace zymwin
