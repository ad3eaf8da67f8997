// The change records that every platform writes and event extraction reads.
#include "ObserverTestSupport.h"

#include "observer/NotifyRecords.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace observertest;
using namespace ZymWindows::NotifyRecords;

namespace {

std::string Extracted(const char* buffer) {
    std::vector<DeviceEvent> events;
    Extract(buffer, 4096, u"S\\", 7, events);
    return Describe(events);
}

} // namespace

// A name or next offset past the end ends the walk; an odd name length
// drops the odd byte; unknown actions are skipped.
TEST(Records, DamagedRecordsEndTheWalkWithoutReadingPastTheBuffer) {
    char buffer[4096] = {};
    const auto put = [&](std::size_t offset, std::uint32_t value) {
        std::memcpy(buffer + offset, &value, 4);
    };
    put(0, 16), put(4, 9), put(8, 2), put(12, 'z');
    put(16, 16), put(20, FILE_ACTION_MODIFIED), put(24, 5), put(28, 'a' | 'b' << 16);
    put(32, 5000), put(36, FILE_ACTION_ADDED), put(40, 2), put(44, 'c');
    EXPECT_EQ(Extracted(buffer), "modified S\\\\ab #7\ncreated S\\\\c #7\n");
    put(32, 4084 - 32);
    put(4084 + 4, FILE_ACTION_REMOVED), put(4084 + 8, 2);
    EXPECT_EQ(Extracted(buffer), "modified S\\\\ab #7\ncreated S\\\\c #7\n");
    put(8, 4096);
    EXPECT_EQ(Extracted(buffer), "");
}
