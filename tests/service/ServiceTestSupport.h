#pragma once

#include <Zym/Exception.h>
#include <Zym/Log.h>
#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymWindows/Service.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace servicetest {

using Lines = std::vector<std::string>;

// What an install logs: it first removes what is registered under the name.
inline const Lines INSTALL_LOG = {
    "Service::Install; Installing the service...",
    "Service::Uninstall; Uninstalling the service...",
    "Service::Uninstall; The service is uninstalled.",
    "Service::Install; The service is installed.",
};

// What a service logs from its start under the manager to its stop.
inline const Lines COMPLETE_RUN = {
    "Service::Start; Starting the service...",
    "Service::Main; The service start is pending...",
    "Service::Run; The service is running.",
    "Service::Stop; Attempt to stop the service.",
    "Service::Run; The service stop is pending...",
    "Service::Main; The service is stopped.",
    "Service::Start; The service is stopped.",
};

// `lines` as a RecordingLog keeps informational entries.
inline Lines Informational(Lines lines) {
    for (std::string& line : lines)
        line += " [0]";
    return lines;
}

// Keeps "text [severity]" of every entry; a test can wait for one.
class RecordingLog : public Zym::LogCallInterface {
public:
    static std::string Line(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
        return ZymCharset::ToUtf8(entry->GetText()) + " [" + std::to_string(entry->GetSeverity()) +
               "]";
    }
    void EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override {
        std::lock_guard guard(m_Lock);
        m_Lines.push_back(Line(entry));
        m_Added.notify_all();
    }
    void EntryClosed(const Zym::SmartPtr<Zym::LogEntryCallInterface>&) override {}
    void EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>&) override {}
    void EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>&, EntryChanges) override {}

    void WaitFor(const std::string& line) {
        std::unique_lock guard(m_Lock);
        m_Added.wait(guard, [&] {
            return std::find(m_Lines.begin(), m_Lines.end(), line) != m_Lines.end();
        });
    }
    Lines Take() {
        std::lock_guard guard(m_Lock);
        return std::exchange(m_Lines, {});
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Added;
    Lines m_Lines;
};

// A service on the caller's thread (console mode), its protected parts open.
class ConsoleService : public ZymWindows::Service {
public:
    explicit ConsoleService(RecordingLog* log, const std::u16string& name = u"console")
        : Service(log, name, u"Console", 1, u"") {}

    void Start(bool asService) override { ContinueStart(asService, nullptr, nullptr); }
    using Service::Handler;

    bool m_ThrowOnPause = false;

protected:
    void Run() override { BasicService::Run(); }
    void CtrlPause() override {
        if (m_ThrowOnPause)
            throw Zym::Exception(u"Cannot pause now.");
        throw 7;
    }
};

} // namespace servicetest
