#include "ObserverTestSupport.h"

#include <ZymCharset/Utf.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace observertest {

void RecordingObserver::ErrorOccurred(const ZymFile::PathT<char16_t>& path, long sourceId,
                                      const std::u16string& message) {
    std::lock_guard guard(m_Lock);
    m_Errors.push_back(ErrorCall{path.Str(), sourceId, message});
    m_Changed.notify_all();
}

void RecordingObserver::EventsOccurred(std::vector<DeviceEvent>& events) {
    if (onBatch)
        onBatch(events);
    std::lock_guard guard(m_Lock);
    ++m_Batches;
    if (events.empty())
        ++m_EmptyBatches;
    m_Events.insert(m_Events.end(), events.begin(), events.end());
    m_Changed.notify_all();
}

std::vector<DeviceEvent> RecordingObserver::Events() const {
    std::lock_guard guard(m_Lock);
    return m_Events;
}

std::vector<ErrorCall> RecordingObserver::Errors() const {
    std::lock_guard guard(m_Lock);
    return m_Errors;
}

std::size_t RecordingObserver::Batches() const {
    std::lock_guard guard(m_Lock);
    return m_Batches;
}

bool RecordingObserver::WaitUntil(const std::function<bool(const std::vector<DeviceEvent>&)>& done,
                                  std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, timeout, [&] { return done(m_Events); });
}

bool RecordingObserver::WaitForEvents(std::size_t count) const {
    return WaitUntil([count](const auto& events) { return events.size() >= count; });
}

bool RecordingObserver::WaitForEmptyBatch() const {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, EVENT_TIMEOUT, [&] { return m_EmptyBatches > 0; });
}

bool RecordingObserver::WaitForErrors(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, timeout, [&] { return m_Errors.size() >= count; });
}

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

std::u16string EventPath(const std::string& sourcePath, const std::string& relative) {
    return Wide(sourcePath + "\\" + relative);
}

DeviceEvent Event(DeviceEvent::EventKind kind, const std::string& sourcePath,
                  const std::string& relative, long id) {
    DeviceEvent event;
    event.kind = kind;
    event.path = EventPath(sourcePath, relative);
    event.sourceId = id;
    return event;
}

std::string Describe(const std::vector<DeviceEvent>& events) {
    static const char* const kinds[] = {"modified", "created", "deleted"};
    std::string text;
    for (const auto& event : events)
        text += std::string(kinds[event.kind]) + " " + ZymCharset::ToUtf8(event.path) + " #" +
                std::to_string(event.sourceId) + "\n";
    return text;
}

void Signal::Set() {
    std::lock_guard guard(m_Lock);
    m_Set = true;
    m_Changed.notify_all();
}

bool Signal::IsSet() const {
    std::lock_guard guard(m_Lock);
    return m_Set;
}

bool Signal::Wait(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, timeout, [&] { return m_Set; });
}

ProbeScope::ProbeScope(ZymWindows::ObserverProbe::Function function) {
    ZymWindows::ObserverProbe::Install(std::move(function));
}

ProbeScope::~ProbeScope() {
    ZymWindows::ObserverProbe::Install({});
}

std::string ThreadName() {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

void ExpectReturns(const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(EVENT_TIMEOUT) == std::future_status::ready) {
        done.get();
        return;
    }
    ADD_FAILURE() << "still waiting after " << EVENT_TIMEOUT.count() << " s";
    std::fflush(nullptr);
    std::_Exit(1);
}

void Touch(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        close(fd);
}

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

} // namespace observertest
