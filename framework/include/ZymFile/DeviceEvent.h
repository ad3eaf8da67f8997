#pragma once

#include <cstdint>
#include <string>

namespace ZymFile {

// One change seen in a watched directory.
struct DeviceEvent {
    enum EventKind : std::int32_t {
        MODIFIED = 0, // content, attributes or security changed
        CREATED = 1,  // created, or renamed to this name
        DELETED = 2,  // deleted, or renamed away from this name
    };

    EventKind kind = MODIFIED;
    // Full path of the changed entry: the watched path as the caller gave
    // it, a backslash, then the entry's path below it.
    std::u16string path;
    // The id that attaching the watched directory returned.
    long sourceId = 0;

    friend bool operator==(const DeviceEvent&, const DeviceEvent&) = default;
};

} // namespace ZymFile
