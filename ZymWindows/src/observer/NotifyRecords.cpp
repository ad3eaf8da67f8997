#include "observer/NotifyRecords.h"

#include <cstring>

namespace ZymWindows::NotifyRecords {

namespace {

std::uint32_t ReadU32(const char* at) noexcept {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void WriteU32(char* at, std::uint32_t value) noexcept {
    std::memcpy(at, &value, sizeof value);
}

} // namespace

bool Writer::Add(Action action, std::u16string_view name) noexcept {
    const std::size_t size = RecordSize(name.size());
    if (name.empty() || size > m_Size - m_Used)
        return false;
    char* record = m_Buffer + m_Used;
    WriteU32(record, 0);
    WriteU32(record + 4, action);
    WriteU32(record + 8, static_cast<std::uint32_t>(2 * name.size()));
    std::memcpy(record + HEADER_SIZE, name.data(), 2 * name.size());
    std::memset(record + HEADER_SIZE + 2 * name.size(), 0, size - HEADER_SIZE - 2 * name.size());
    if (m_Used != 0)
        WriteU32(m_Buffer + m_Last, static_cast<std::uint32_t>(m_Used - m_Last));
    m_Last = m_Used;
    m_Used += size;
    return true;
}

void Extract(const char* buffer, std::size_t size, const std::u16string& sourcePath, long sourceId,
             std::vector<ZymFile::DeviceEvent>& events) {
    std::size_t offset = 0;
    while (size - offset >= HEADER_SIZE) {
        const char* record = buffer + offset;
        const std::uint32_t next = ReadU32(record);
        const std::uint32_t action = ReadU32(record + 4);
        const std::uint32_t length = ReadU32(record + 8);
        if (length == 0 || length > size - offset - HEADER_SIZE)
            break;
        ZymFile::DeviceEvent event;
        bool known = true;
        switch (action) {
        case FILE_ACTION_ADDED:
        case FILE_ACTION_RENAMED_NEW_NAME:
            event.kind = ZymFile::DeviceEvent::CREATED;
            break;
        case FILE_ACTION_REMOVED:
        case FILE_ACTION_RENAMED_OLD_NAME:
            event.kind = ZymFile::DeviceEvent::DELETED;
            break;
        case FILE_ACTION_MODIFIED:
            event.kind = ZymFile::DeviceEvent::MODIFIED;
            break;
        default:
            known = false;
        }
        if (known) {
            const std::size_t units = length / 2;
            event.path.reserve(sourcePath.size() + 1 + units);
            event.path = sourcePath;
            event.path += u'\\';
            const std::size_t start = event.path.size();
            event.path.resize(start + units);
            std::memcpy(event.path.data() + start, record + HEADER_SIZE, 2 * units);
            event.sourceId = sourceId;
            events.push_back(std::move(event));
        }
        if (next == 0 || next > size - offset)
            break;
        offset += next;
    }
}

} // namespace ZymWindows::NotifyRecords
