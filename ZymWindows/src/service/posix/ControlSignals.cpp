#include "ControlSignals.h"

#include "Notify.h"
#include "service/ServicePlatform.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// SIGCONT, which the manager sends after SIGTERM, means nothing here.
constexpr std::array<int, 5> CONTROL_SIGNALS = {SIGTERM, SIGUSR1, SIGUSR2, SIGHUP, SIGPWR};

// Made once and kept open: a handler may still be writing to it while the
// signals are given back.
std::atomic<int> g_PipeRead{-1};
std::atomic<int> g_PipeWrite{-1};
std::atomic<bool> g_ServiceEnded{false};

void OnControlSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    const int fd = g_PipeWrite.load();
    // A full pipe drops the signal, as the kernel would merge it anyway.
    if (fd >= 0 && !g_ServiceEnded.load() && ::write(fd, &byte, 1) < 0) {
    }
    errno = saved;
}

std::mutex g_Lock; // guards the three below
int g_Holders = 0;
bool g_Taken = false;
std::array<struct sigaction, CONTROL_SIGNALS.size()> g_Previous{};

void Take() {
    if (g_PipeWrite.load() < 0) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        g_PipeRead.store(pipe[0]);
        g_PipeWrite.store(pipe[1]);
    }
    struct sigaction action {};
    action.sa_handler = &OnControlSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < CONTROL_SIGNALS.size(); ++i)
        ::sigaction(CONTROL_SIGNALS[i], &action, &g_Previous[i]);
    g_Taken = true;
}

void GiveBack() {
    for (std::size_t i = 0; i < CONTROL_SIGNALS.size(); ++i)
        ::sigaction(CONTROL_SIGNALS[i], &g_Previous[i], nullptr);
    g_Taken = false;
}

} // namespace

void HoldControlSignals() noexcept {
    const std::lock_guard guard(g_Lock);
    ++g_Holders;
    // Only a process that a manager started gets its signals; anywhere
    // else SIGTERM keeps ending it.
    if (!g_Taken && HasNotifySocket())
        Take();
}

void ReleaseControlSignals() noexcept {
    const std::lock_guard guard(g_Lock);
    if (--g_Holders == 0 && g_Taken)
        GiveBack();
}

int ControlSignalPipe() noexcept {
    const std::lock_guard guard(g_Lock);
    return g_Taken ? g_PipeRead.load() : -1;
}

void BeginControlSignalService() noexcept {
    g_ServiceEnded.store(false);
}

void EndControlSignalService() noexcept {
    g_ServiceEnded.store(true);
    unsigned char stale[64];
    while (::read(g_PipeRead.load(), stale, sizeof stale) > 0) {
    }
}

} // namespace ZymWindows::Platform
