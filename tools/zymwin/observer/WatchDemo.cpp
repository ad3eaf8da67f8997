#include "Command.h"
#include "DemoFolder.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/DirectoryObserver.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace zymwin {

namespace {

namespace fs = std::filesystem;

// Keeps the changes for the demo to print once the last one is in.
class DemoObserver : public ZymFile::ObserverCallInterface {
public:
    explicit DemoObserver(std::u16string last) : m_Last(std::move(last)) {}
    void ErrorOccurred(const ZymFile::PathT<char16_t>&, long,
                       const std::u16string& message) override {
        std::lock_guard guard(m_Lock);
        m_Lines.push_back("error: " + ZymCharset::ToUtf8(message));
    }
    void EventsOccurred(std::vector<ZymFile::DeviceEvent>& events) override {
        static const char* const KINDS[] = {"modified", "created ", "deleted "};
        std::lock_guard guard(m_Lock);
        if (events.empty())
            m_Lines.push_back("overflow: changes were lost");
        for (const auto& event : events) {
            const std::u16string& path = event.path;
            const auto below = path.find(u'\\');
            m_Lines.push_back(std::string(KINDS[event.kind]) + " " +
                              ZymCharset::ToUtf8(path.substr(below + 1)));
            m_Done = m_Done || path == m_Last;
        }
        m_Changed.notify_all();
    }
    std::vector<std::string> WaitForLast() {
        std::unique_lock guard(m_Lock);
        m_Changed.wait_for(guard, std::chrono::seconds(10), [this] { return m_Done; });
        return m_Lines;
    }

private:
    const std::u16string m_Last;
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::vector<std::string> m_Lines;
    bool m_Done = false;
};

void WatchDemo() {
    const DemoFolder scratch("zymwin-watch");
    const fs::path& root = scratch.Path();
    const std::u16string source = ZymCharset::FromUtf8(root.string());
    {
        Zym::SmartPtr<DemoObserver> changes = new DemoObserver(source + u"\\done");
        ZymWindows::WinNTDirectoryObserver observer;
        const long id = observer.AttachObserver(source, true, changes);
        std::printf("watching a scratch directory and its subtree as source %ld\n", id);
        std::ofstream(root / "notes.txt") << "first draft\n";
        fs::rename(root / "notes.txt", root / "report.txt");
        fs::create_directories(root / "archive" / "2024");
        std::ofstream(root / "archive" / "2024" / "old.txt") << "kept\n";
        fs::remove(root / "report.txt");
        std::ofstream(root / "done").flush();
        for (const std::string& line : changes->WaitForLast())
            std::printf("  %s\n", line.c_str());
    }
    std::printf("observer stopped\n");
}

const Registration g_WatchDemo(DemoStep{60, "Directory observer", WatchDemo});

} // namespace

} // namespace zymwin
