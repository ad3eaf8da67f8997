#include "service/ConsoleStop.h"

#include <windows.h>

#include <atomic>

namespace zymwin {

namespace {

std::atomic<ZymWindows::BasicService*> g_Service{nullptr};

// Runs on a thread of the system's own.
BOOL WINAPI OnConsoleControl(DWORD) {
    if (ZymWindows::BasicService* service = g_Service.load())
        service->Stop();
    return TRUE;
}

} // namespace

// The console's handler is the waiter: nothing of its own to keep.
struct ConsoleStop::Waiter {};

ConsoleStop::ConsoleStop(ZymWindows::BasicService& service) {
    g_Service = &service;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

ConsoleStop::~ConsoleStop() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_Service = nullptr;
}

} // namespace zymwin
