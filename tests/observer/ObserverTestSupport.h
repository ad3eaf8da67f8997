#pragma once

#include <ZymFile/Observer.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymWindows/DirectoryObserver.h>

#include "TestFiles.h"
#include "observer/ObserverProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace observertest {

using namespace std::chrono_literals;
using ZymFile::DeviceEvent;

// How long a test waits for what must come.
inline constexpr auto EVENT_TIMEOUT = 10s;

// Everything a RecordingObserver has been told.
struct Seen {
    std::vector<DeviceEvent> events;
    std::vector<std::u16string> errors; // "path|id|message"
    std::size_t emptyBatches = 0;
};

// Records every callback; tests wait on what it has seen.
class RecordingObserver : public ZymFile::ObserverCallInterface {
public:
    void ErrorOccurred(const ZymFile::PathT<char16_t>& path, long sourceId,
                       const std::u16string& message) override;
    void EventsOccurred(std::vector<DeviceEvent>& events) override;

    // Runs in each EventsOccurred call before the batch is recorded.
    std::function<void(std::vector<DeviceEvent>&)> onBatch;

    Seen Snapshot() const;
    std::vector<DeviceEvent> Events() const { return Snapshot().events; }
    bool WaitUntil(const std::function<bool(const Seen&)>& done) const;
    bool WaitForEvents(std::size_t count) const;

private:
    mutable std::mutex m_Lock;
    mutable std::condition_variable m_Changed;
    Seen m_Seen;
};

// Set once, waited for by any number of threads.
struct Signal : ZymThread::EventSemaphore {
    Signal() : EventSemaphore(true, false) {}
    bool IsSet() noexcept { return EventSemaphore::Wait(0) == ZymThread::WAIT_OBJECT_0; }
    bool Wait() noexcept { return EventSemaphore::Wait(10000) == ZymThread::WAIT_OBJECT_0; }
};

// An observer probe for the life of the object.
struct ProbeScope {
    explicit ProbeScope(ZymWindows::ObserverProbe::Function function) {
        ZymWindows::ObserverProbe::Install(std::move(function));
    }
    ~ProbeScope() { ZymWindows::ObserverProbe::Install({}); }
};

// A scratch directory watched by one observer with one recorder.
class Observed : public ::testing::Test {
protected:
    zymtest::ScratchDirectory m_Scratch;
    const std::filesystem::path& m_Dir = m_Scratch.Path();
    const std::string m_Root = m_Dir.string();
    ZymWindows::WinNTDirectoryObserver m_Observer;
    Zym::SmartPtr<RecordingObserver> m_Recorder = new RecordingObserver;
};

// The name of the calling thread, as Linux shows it.
std::string ThreadName();
// The threads of this process that have the name `name`.
int ThreadsNamed(const std::string& name);
// The files, directories and other system objects this process has open;
// 0 when the system does not tell (Wine).
int OpenHandles();
// Runs `work` on a thread of its own and fails the test if it has not
// returned within EVENT_TIMEOUT; a hung call cannot be taken back, so the
// test process then ends at once.
void ExpectReturns(const std::function<void()>& work);

// Makes `marker` and returns the events reported before it. A source's
// changes come in order, so once the marker is there, nothing made before it
// can still come.
std::vector<DeviceEvent> EventsBefore(const RecordingObserver& recorder,
                                      const std::filesystem::path& marker);

std::u16string Wide(const std::string& text);
// One line per event: "created PATH #ID".
std::string Describe(const std::vector<DeviceEvent>& events);
// The same lines for `changes` ("created RELATIVE", ...) below a source
// `id` watching `sourcePath`; RELATIVE's '/' stand for the system's
// separator.
std::string Expected(const std::string& sourcePath, long id,
                     const std::vector<std::string>& changes);
// Creates a file without writing to it.
void Touch(const std::filesystem::path& path);

} // namespace observertest
