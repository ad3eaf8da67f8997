#pragma once

#include <ZymFile/DeviceEvent.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The platform's change records (FILE_NOTIFY_INFORMATION): a 32-bit offset
// of the next record (0 for the last), a 32-bit action, a 32-bit name length
// in bytes, then the UTF-16 name without terminator; records start on 4-byte
// boundaries. Every platform writes its changes in this layout, so reading
// them back is one piece of code.
namespace ZymWindows::NotifyRecords {

enum Action : std::uint32_t {
    FILE_ACTION_ADDED = 1,
    FILE_ACTION_REMOVED = 2,
    FILE_ACTION_MODIFIED = 3,
    FILE_ACTION_RENAMED_OLD_NAME = 4,
    FILE_ACTION_RENAMED_NEW_NAME = 5,
};

inline constexpr std::size_t HEADER_SIZE = 12;

// The bytes a record with a name of `units` UTF-16 units takes, padding
// included.
constexpr std::size_t RecordSize(std::size_t units) noexcept {
    return (HEADER_SIZE + 2 * units + 3) & ~std::size_t(3);
}

// Fills a buffer with records, one after the other.
class Writer {
public:
    Writer(char* buffer, std::size_t size) noexcept : m_Buffer(buffer), m_Size(size) {}
    // False, writing nothing, when the record does not fit (or the name is
    // empty, which readers take as the end).
    bool Add(Action action, std::u16string_view name) noexcept;
    // The bytes written so far; 0 when no record was.
    std::size_t Used() const noexcept { return m_Used; }

private:
    char* m_Buffer;
    std::size_t m_Size;
    std::size_t m_Used = 0;
    std::size_t m_Last = 0;
};

// The events of the records in `buffer` (the change records of one read), for
// the source `sourceId` watching `sourcePath`. A record whose header or name
// would reach past the end of the buffer ends the walk, as does a zero name
// length or next-entry offset; an odd name length drops its last byte;
// actions other than 1 to 5 are skipped.
void Extract(const char* buffer, std::size_t size, const std::u16string& sourcePath, long sourceId,
             std::vector<ZymFile::DeviceEvent>& events);

} // namespace ZymWindows::NotifyRecords
