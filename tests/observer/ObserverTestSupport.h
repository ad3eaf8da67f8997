#pragma once

#include <ZymFile/Observer.h>
#include <ZymWindows/DirectoryObserver.h>

#include "observer/ObserverProbe.h"

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

// How long a test waits for events that must come.
inline constexpr auto EVENT_TIMEOUT = 10s;

struct ErrorCall {
    std::u16string path;
    long sourceId;
    std::u16string message;
};

// Records every callback; tests wait on what it has seen.
class RecordingObserver : public ZymFile::ObserverCallInterface {
public:
    void ErrorOccurred(const ZymFile::PathT<char16_t>& path, long sourceId,
                       const std::u16string& message) override;
    void EventsOccurred(std::vector<DeviceEvent>& events) override;

    // Runs in each EventsOccurred call before the batch is recorded.
    std::function<void(std::vector<DeviceEvent>&)> onBatch;

    std::vector<DeviceEvent> Events() const;
    std::vector<ErrorCall> Errors() const;
    std::size_t Batches() const;
    // Waits until `done` holds for the events seen so far.
    bool WaitUntil(const std::function<bool(const std::vector<DeviceEvent>&)>& done,
                   std::chrono::milliseconds timeout = EVENT_TIMEOUT) const;
    bool WaitForEvents(std::size_t count) const;
    bool WaitForEmptyBatch() const;
    bool WaitForErrors(std::size_t count, std::chrono::milliseconds timeout = EVENT_TIMEOUT) const;

private:
    mutable std::mutex m_Lock;
    mutable std::condition_variable m_Changed;
    std::vector<DeviceEvent> m_Events;
    std::vector<ErrorCall> m_Errors;
    std::size_t m_Batches = 0;
    std::size_t m_EmptyBatches = 0;
};

// The event path of `relative` below a source watching `sourcePath`.
std::u16string EventPath(const std::string& sourcePath, const std::string& relative);
DeviceEvent Event(DeviceEvent::EventKind kind, const std::string& sourcePath,
                  const std::string& relative, long id);
std::u16string Wide(const std::string& text);
std::string Describe(const std::vector<DeviceEvent>& events);

// Set once, waited for by any number of threads.
class Signal {
public:
    void Set();
    bool IsSet() const;
    bool Wait(std::chrono::milliseconds timeout = EVENT_TIMEOUT) const;

private:
    mutable std::mutex m_Lock;
    mutable std::condition_variable m_Changed;
    bool m_Set = false;
};

// An observer probe for the life of the object.
class ProbeScope {
public:
    explicit ProbeScope(ZymWindows::ObserverProbe::Function function);
    ~ProbeScope();
    ProbeScope(const ProbeScope&) = delete;
    ProbeScope& operator=(const ProbeScope&) = delete;
};

// The name of the calling thread, as the system shows it.
std::string ThreadName();
// Runs `work` on a thread of its own and fails the test if it has not
// returned within EVENT_TIMEOUT; a hung call cannot be taken back, so the
// test process then ends at once.
void ExpectReturns(const std::function<void()>& work);

// Creates (or truncates) a file without writing to it.
void Touch(const std::filesystem::path& path);
// The process's open descriptors.
std::size_t OpenDescriptors();

} // namespace observertest
