// Event extraction over arbitrary 4096-byte change buffers: records that
// point past the end, zero and odd name lengths, unknown actions, loops.
// Whatever the bytes, extraction stays inside the buffer, zero-fills it,
// yields paths below the source path, and the names it found, written
// back as records, extract to the same events.
#include "observer/NotifyRecords.h"

#include <ZymWindows/DirectoryObserver.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const std::u16string SOURCE = u"fuzz";

// A real source, as the listener has it, on a directory of its own.
ZymWindows::WinNTObserverSource& Source() {
    static Zym::SmartPtr<ZymWindows::WinNTObserverSource> source = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz-observer-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        Zym::SmartPtr<ZymWindows::WinNTObserverSource> made = new ZymWindows::WinNTObserverSource(
            1, std::u16string(pattern.begin(), pattern.end()), false,
            ZymWindows::WinNTObserverSource::STARTING, nullptr);
        return made;
    }();
    return *source;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ZymWindows::NotifyRecords;
    constexpr std::size_t BUFFER = ZymWindows::WinNTObserverSource::EVENT_BUFFER_SIZE;
    ZymWindows::WinNTObserverSource& source = Source();
    std::memcpy(source.EventBuffer(), data, std::min(size, BUFFER));
    std::vector<ZymFile::DeviceEvent> events;
    source.ExtractEvents(events);
    for (std::size_t i = 0; i < BUFFER; ++i)
        if (source.EventBuffer()[i] != 0)
            std::abort();
    if (events.size() > BUFFER / HEADER_SIZE)
        std::abort();
    const std::u16string prefix = source.SourcePath() + u"\\";
    std::vector<char> rewritten(BUFFER, 0);
    Writer writer(rewritten.data(), rewritten.size());
    bool whole = true;
    for (const auto& event : events) {
        if (event.path.compare(0, prefix.size(), prefix) != 0 || event.sourceId != 1 ||
            event.kind < ZymFile::DeviceEvent::MODIFIED ||
            event.kind > ZymFile::DeviceEvent::DELETED)
            std::abort();
        const Action action = event.kind == ZymFile::DeviceEvent::CREATED   ? FILE_ACTION_ADDED
                              : event.kind == ZymFile::DeviceEvent::DELETED ? FILE_ACTION_REMOVED
                                                                            : FILE_ACTION_MODIFIED;
        whole = whole && writer.Add(action, std::u16string_view(event.path).substr(prefix.size()));
    }
    if (whole) {
        std::vector<ZymFile::DeviceEvent> again;
        Extract(rewritten.data(), rewritten.size(), source.SourcePath(), 1, again);
        if (again != events)
            std::abort();
    }
    return 0;
}
