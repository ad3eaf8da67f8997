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

// Written records read back, the source path kept as given (a doubled
// separator and all); a batch holds what fits and no more.
TEST(Records, WrittenRecordsReadBackAndABatchHoldsWhatFits) {
    char buffer[4096] = {};
    Writer writer(buffer, sizeof buffer);
    for (const Action action : {FILE_ACTION_ADDED, FILE_ACTION_REMOVED, FILE_ACTION_MODIFIED,
                                FILE_ACTION_RENAMED_OLD_NAME, FILE_ACTION_RENAMED_NEW_NAME})
        EXPECT_TRUE(writer.Add(action, std::u16string(action, u'\u00e9')));
    EXPECT_FALSE(writer.Add(FILE_ACTION_ADDED, u""));
    EXPECT_EQ(Extracted(buffer), "created S\\\\é #7\ndeleted S\\\\éé #7\nmodified S\\\\ééé #7\n"
                                 "deleted S\\\\éééé #7\ncreated S\\\\ééééé #7\n");
    const std::u16string name(100, u'n'); // 212 bytes a record
    Writer full(buffer, sizeof buffer);
    int written = 0;
    while (full.Add(FILE_ACTION_ADDED, name))
        ++written;
    EXPECT_EQ(written, 4096 / 212);
    EXPECT_FALSE(Writer(buffer, sizeof buffer).Add(FILE_ACTION_ADDED, std::u16string(2043, u'x')));
}

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
