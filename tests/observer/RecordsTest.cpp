// The change records that every platform writes and event extraction reads.
#include "ObserverTestSupport.h"

#include "observer/NotifyRecords.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace observertest;
using namespace ZymWindows::NotifyRecords;

namespace {

struct Buffer {
    Buffer() { std::memset(bytes, 0, sizeof bytes); }
    void Put32(std::size_t offset, std::uint32_t value) { std::memcpy(bytes + offset, &value, 4); }
    void PutName(std::size_t offset, std::u16string_view name) {
        std::memcpy(bytes + offset, name.data(), 2 * name.size());
    }
    std::vector<DeviceEvent> Extract(const std::u16string& source = u"S", long id = 7) const {
        std::vector<DeviceEvent> events;
        ZymWindows::NotifyRecords::Extract(bytes, sizeof bytes, source, id, events);
        return events;
    }
    char bytes[4096];
};

} // namespace

TEST(Records, WrittenRecordsReadBackWithEveryAction) {
    Buffer buffer;
    Writer writer(buffer.bytes, sizeof buffer.bytes);
    EXPECT_TRUE(writer.Add(FILE_ACTION_ADDED, u"a"));
    EXPECT_TRUE(writer.Add(FILE_ACTION_REMOVED, u"bb"));
    EXPECT_TRUE(writer.Add(FILE_ACTION_MODIFIED, u"ccc"));
    EXPECT_TRUE(writer.Add(FILE_ACTION_RENAMED_OLD_NAME, u"d/e"));
    EXPECT_TRUE(writer.Add(FILE_ACTION_RENAMED_NEW_NAME, u"\u00e9"));
    EXPECT_FALSE(writer.Add(FILE_ACTION_ADDED, u""));
    EXPECT_EQ(writer.Used(),
              RecordSize(1) + RecordSize(2) + RecordSize(3) + RecordSize(3) + RecordSize(1));
    const std::vector<DeviceEvent> expected = {
        {DeviceEvent::CREATED, u"S\\a", 7},      {DeviceEvent::DELETED, u"S\\bb", 7},
        {DeviceEvent::MODIFIED, u"S\\ccc", 7},   {DeviceEvent::DELETED, u"S\\d/e", 7},
        {DeviceEvent::CREATED, u"S\\\u00e9", 7},
    };
    EXPECT_EQ(buffer.Extract(), expected) << Describe(buffer.Extract());
    // The source path is kept as given, even with a trailing separator.
    EXPECT_EQ(buffer.Extract(u"C:\\dir\\")[0].path, u"C:\\dir\\\\a");
}

TEST(Records, ABatchHoldsWhatFitsAndNoMore) {
    Buffer buffer;
    Writer writer(buffer.bytes, sizeof buffer.bytes);
    const std::u16string name(100, u'n'); // 212 bytes a record
    int written = 0;
    while (writer.Add(FILE_ACTION_ADDED, name))
        ++written;
    EXPECT_EQ(written, 4096 / 212);
    EXPECT_EQ(buffer.Extract().size(), std::size_t(written));
    EXPECT_FALSE(Writer(buffer.bytes, sizeof buffer.bytes)
                     .Add(FILE_ACTION_ADDED, std::u16string(2043, u'x')));
}

TEST(Records, DamagedRecordsEndTheWalkWithoutReadingPastTheBuffer) {
    EXPECT_TRUE(Buffer().Extract().empty()) << "a zero-filled buffer is an empty batch";
    {
        // A name that would reach past the end.
        Buffer buffer;
        buffer.Put32(4, FILE_ACTION_ADDED);
        buffer.Put32(8, 4096);
        EXPECT_TRUE(buffer.Extract().empty());
    }
    {
        // A next offset past the end, after one good record.
        Buffer buffer;
        buffer.Put32(0, 5000);
        buffer.Put32(4, FILE_ACTION_ADDED);
        buffer.Put32(8, 2);
        buffer.PutName(12, u"a");
        EXPECT_EQ(buffer.Extract().size(), 1u);
    }
    {
        // The last record's header ends exactly at the end of the buffer.
        Buffer buffer;
        buffer.Put32(0, 4084);
        buffer.Put32(4, FILE_ACTION_ADDED);
        buffer.Put32(8, 2);
        buffer.PutName(12, u"a");
        buffer.Put32(4084 + 4, FILE_ACTION_REMOVED);
        buffer.Put32(4084 + 8, 2);
        EXPECT_EQ(buffer.Extract().size(), 1u);
    }
    {
        // An odd name length drops the odd byte; unknown actions are skipped.
        Buffer buffer;
        buffer.Put32(0, 16);
        buffer.Put32(4, 9);
        buffer.Put32(8, 2);
        buffer.PutName(12, u"z");
        buffer.Put32(16, 0);
        buffer.Put32(20, FILE_ACTION_MODIFIED);
        buffer.Put32(24, 5);
        buffer.PutName(28, u"ab");
        const std::vector<DeviceEvent> expected = {{DeviceEvent::MODIFIED, u"S\\ab", 7}};
        EXPECT_EQ(buffer.Extract(), expected);
    }
}
