#pragma once

#include <Zym/SmartPtr.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/MessageQueue.h>
#include <ZymThread/Thread.h>

#include <string>

namespace threadtest {

// A body that says when it has started, and in which thread, and returns
// once released.
struct Gate {
    ZymThread::EventSemaphore started{true, false};
    ZymThread::EventSemaphore release{true, false};
    unsigned long threadId = 0;
    bool finished = false;

    void* Body(void* argument) {
        threadId = ZymThread::GetCurrentThreadId();
        started.Set();
        release.Wait();
        finished = true;
        return argument;
    }
};

inline Zym::SmartPtr<ZymThread::Thread> GateThread(const std::string& name, Gate& gate) {
    return new ZymThread::Thread(name, new ZymThread::FunctionT<Gate>(&gate, &Gate::Body));
}

} // namespace threadtest
