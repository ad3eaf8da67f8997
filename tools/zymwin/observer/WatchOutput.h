#pragma once

#include <ZymFile/Observer.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zymwin {

// Prints what `zymwin watch` and its demo step see, one flushed line per
// event ("created PATH" and so on), or one JSON object a line. Lines that
// come before Ready() wait for it, so that "ready" comes first.
class WatchPrinter {
public:
    WatchPrinter(std::FILE* out, bool json) : m_Out(out), m_Json(json) {}

    bool Json() const noexcept { return m_Json; }
    // Prints "ready" and whatever waited for it.
    void Ready();
    // Prints the lines that `render` makes, now or once ready.
    void Emit(std::function<std::string()> render);

    // The path of an event as this system writes it: the directory, its
    // separator ('/' on Linux, '\\' on Windows), the path below it.
    static std::string NativePath(const std::string& directory, const std::u16string& eventPath);
    static std::string JsonString(const std::string& text);

private:
    std::FILE* m_Out;
    const bool m_Json;
    std::mutex m_Lock;
    bool m_Ready = false;
    std::vector<std::function<std::string()>> m_Waiting;
};

// The separator of this system's paths.
char NativeSeparator() noexcept;

// The observer of one watched directory: an empty batch names no source,
// so each directory has its own.
class WatchSource : public ZymFile::ObserverCallInterface {
public:
    WatchSource(WatchPrinter& printer, std::string directory)
        : m_Printer(printer), m_Directory(std::move(directory)) {}
    // The id that attaching returned.
    void SetId(long id) noexcept { m_Id = id; }

    void ErrorOccurred(const ZymFile::PathT<char16_t>& path, long sourceId,
                       const std::u16string& message) override;
    void EventsOccurred(std::vector<ZymFile::DeviceEvent>& events) override;

private:
    WatchPrinter& m_Printer;
    const std::string m_Directory;
    std::atomic<long> m_Id{0};
};

} // namespace zymwin
