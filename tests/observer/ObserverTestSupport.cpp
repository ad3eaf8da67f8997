#include "ObserverTestSupport.h"

#include <ZymCharset/Utf.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>

namespace observertest {

void RecordingObserver::ErrorOccurred(const ZymFile::PathT<char16_t>& path, long sourceId,
                                      const std::u16string& message) {
    std::lock_guard guard(m_Lock);
    m_Seen.errors.push_back(path.Str() + u"|" + Wide(std::to_string(sourceId)) + u"|" + message);
    m_Changed.notify_all();
}

void RecordingObserver::EventsOccurred(std::vector<DeviceEvent>& events) {
    if (onBatch)
        onBatch(events);
    std::lock_guard guard(m_Lock);
    m_Seen.emptyBatches += events.empty();
    m_Seen.events.insert(m_Seen.events.end(), events.begin(), events.end());
    m_Changed.notify_all();
}

Seen RecordingObserver::Snapshot() const {
    std::lock_guard guard(m_Lock);
    return m_Seen;
}

bool RecordingObserver::WaitUntil(const std::function<bool(const Seen&)>& done) const {
    std::unique_lock guard(m_Lock);
    return m_Changed.wait_for(guard, EVENT_TIMEOUT, [&] { return done(m_Seen); });
}

bool RecordingObserver::WaitForEvents(std::size_t count) const {
    return WaitUntil([count](const Seen& seen) { return seen.events.size() >= count; });
}

void ExpectReturns(const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(EVENT_TIMEOUT) == std::future_status::ready)
        return done.get();
    ADD_FAILURE() << "still waiting after " << EVENT_TIMEOUT.count() << " s";
    std::fflush(nullptr);
    std::_Exit(1);
}

std::vector<DeviceEvent> EventsBefore(const RecordingObserver& recorder,
                                      const std::filesystem::path& marker) {
    Touch(marker);
    const std::string name = "\\" + marker.filename().string();
    EXPECT_TRUE(recorder.WaitUntil([&](const Seen& seen) {
        return !seen.events.empty() && ZymCharset::ToUtf8(seen.events.back().path).ends_with(name);
    }));
    auto events = recorder.Events();
    events.pop_back();
    return events;
}

std::u16string Wide(const std::string& text) {
    return ZymCharset::FromUtf8(text);
}

std::string Describe(const std::vector<DeviceEvent>& events) {
    static const char* const kinds[] = {"modified", "created", "deleted"};
    std::string text;
    for (const auto& event : events)
        text += std::string(kinds[event.kind]) + " " + ZymCharset::ToUtf8(event.path) + " #" +
                std::to_string(event.sourceId) + "\n";
    return text;
}

std::string Expected(const std::string& sourcePath, long id,
                     const std::vector<std::string>& changes) {
    std::string text;
    for (const std::string& change : changes) {
        const auto space = change.find(' ');
        std::string relative = change.substr(space + 1);
        std::replace(relative.begin(), relative.end(), '/',
                     static_cast<char>(std::filesystem::path::preferred_separator));
        text += change.substr(0, space) + " " + sourcePath + "\\" + relative + " #" +
                std::to_string(id) + "\n";
    }
    return text;
}

void Touch(const std::filesystem::path& path) {
    std::ofstream(path, std::ios::app);
}

} // namespace observertest
