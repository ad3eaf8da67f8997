#include "StopRequest.h"

#include <csignal>
#include <pthread.h>

namespace zymwin {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

// Blocked in every thread, the signals wait for sigwait.
void PrepareForStopRequest() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopRequest() {
    const sigset_t signals = StopSignals();
    int received = 0;
    sigwait(&signals, &received);
}

} // namespace zymwin
