#include "DumpCrash.h"

#include <ZymWindows/ProcessDump.h>

#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

namespace zymwin {

// Left out of the null-pointer sanitizer, which would end the process first.
[[gnu::noinline]] __attribute__((no_sanitize("null"))) void CrashHereOnPurpose() {
    // Volatile, so that the compiler can neither see the null nor drop the
    // store.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 42; // the crash site
}

namespace {

class Worker {
public:
    Worker(bool crashes, ZymThread::EventSemaphore& started, ZymThread::EventSemaphore& go)
        : m_Crashes(crashes), m_Started(started), m_Go(go) {}

    // A worker that does not crash waits until the process dies.
    void* Run(void*) {
        m_Started.Set();
        m_Go.Wait();
        if (m_Crashes)
            CrashHereOnPurpose();
        for (;;)
            m_Never.Wait();
    }

private:
    bool m_Crashes;
    ZymThread::EventSemaphore& m_Started;
    ZymThread::EventSemaphore& m_Go;
    ZymThread::EventSemaphore m_Never{true, false};
};

} // namespace

void CrashWithWorkers(const std::string& directory, bool core, const std::string& crashingThread) {
    ZymWindows::InstallCrashHandler(directory, core);
    // A name of its own replaces the first worker's; naming a worker
    // picks that one.
    std::string names[2] = {"DumpWorker-1", "DumpWorker-2"};
    if (!crashingThread.empty() && crashingThread != names[1])
        names[0] = crashingThread;
    ZymThread::EventSemaphore go(true, false);
    // The threads and their bodies stay until the process dies.
    for (const std::string& name : names) {
        auto* started = new ZymThread::EventSemaphore(false, false);
        auto* worker = new Worker(name == crashingThread, *started, go);
        Zym::SmartPtr<ZymThread::Thread> thread =
            new ZymThread::Thread(name, new ZymThread::FunctionT<Worker>(worker, &Worker::Run));
        thread->Run();
        started->Wait();
        thread->AddRef();
    }
    if (crashingThread.empty())
        CrashHereOnPurpose();
    go.Set();
    ZymThread::EventSemaphore never(true, false);
    for (;;)
        never.Wait();
}

} // namespace zymwin
