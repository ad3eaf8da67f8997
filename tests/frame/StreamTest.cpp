#include <Zym/BinaryStream.h>
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/Seek.h>
#include <ZymFile/StaticMemoryBuffer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Zym::SeekDir;

TEST(Stream, IntegersBoolsFloatsAndStringsRoundTrip) {
    ZymFile::MemoryBuffer buffer(16);
    Zym::BinaryStream stream(buffer);
    const std::u16string longText(70000, u'\u00e9');
    stream << std::uint8_t{0xAB} << std::int16_t{-2} << 0xDEADBEEFu << std::int64_t{-5} << true
           << 1.5f << -2.25 << std::string("narrow") << std::u16string(u"wide \u20ac") << longText;
    std::uint8_t u8 = 0;
    std::int16_t i16 = 0;
    unsigned int u32 = 0;
    std::int64_t i64 = 0;
    bool flag = false;
    float f = 0;
    double d = 0;
    std::string narrow;
    std::u16string wide, longRead;
    stream >> u8 >> i16 >> u32 >> i64 >> flag >> f >> d >> narrow >> wide >> longRead;
    EXPECT_EQ(u8, 0xAB);
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(i64, -5);
    EXPECT_TRUE(flag);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(d, -2.25);
    EXPECT_EQ(narrow, "narrow");
    EXPECT_EQ(wide, u"wide \u20ac");
    EXPECT_EQ(longRead, longText);
    EXPECT_TRUE(buffer.EndOfFile());
}

TEST(Stream, WideStringWireEncoding) {
    ZymFile::MemoryBuffer shortBuf, longBuf;
    Zym::BinaryStream(shortBuf) << std::u16string(u"AB");
    const std::vector<unsigned char> expected = {2, 0, 'A', 0, 'B', 0};
    EXPECT_EQ(std::vector<unsigned char>(shortBuf.Data(), shortBuf.Data() + shortBuf.Size()),
              expected);
    Zym::BinaryStream(longBuf) << std::u16string(65535, u'x');
    const unsigned char* p = longBuf.Data();
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[1], 0xFF);
    EXPECT_EQ(p[2] | (p[3] << 8) | (p[4] << 16) | (p[5] << 24), 65535);
    EXPECT_EQ(longBuf.Size(), 6u + 2 * 65535);
}

TEST(Stream, ShortDataRaisesEOFAndHostileCountsDoNotAllocate) {
    const unsigned char hostile[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0};
    ZymFile::StaticMemoryBuffer buffer(hostile, sizeof hostile);
    Zym::BinaryStream stream(buffer);
    std::u16string text;
    EXPECT_THROW(stream >> text, Zym::BinaryStreamGetEOFException);
    buffer.SeekG(0);
    std::string narrow;
    EXPECT_THROW(Zym::BinaryStream(buffer) >> narrow, Zym::BinaryStreamGetEOFException);
    std::uint64_t big = 0;
    buffer.SeekG(4);
    EXPECT_THROW(stream >> big, Zym::BinaryStreamGetEOFException);
}

TEST(Buffer, SeeksInsideTheDataOnlyAndPositionsAreIndependent) {
    ZymFile::MemoryBuffer buffer;
    buffer.Put("0123456789", 10);
    EXPECT_EQ(buffer.SeekG(-3, SeekDir::End), 7u);
    char c = 0;
    buffer.Get(&c, 1);
    EXPECT_EQ(c, '7');
    EXPECT_EQ(buffer.SeekG(-2, SeekDir::Current), 6u);
    EXPECT_EQ(buffer.SeekG(10), 10u);
    EXPECT_THROW(buffer.SeekG(11), ZymFile::SeekOutOfRangeException);
    EXPECT_THROW(buffer.SeekG(-1), ZymFile::SeekOutOfRangeException);
    EXPECT_THROW(buffer.SeekG(-11, SeekDir::End), ZymFile::SeekOutOfRangeException);
    EXPECT_THROW(buffer.SeekP(INT64_MAX, SeekDir::Current), ZymFile::SeekOutOfRangeException);
    EXPECT_EQ(buffer.TellG(), 10u);

    buffer.SeekP(4);
    buffer.Put("ab", 2);
    buffer.ClearEnd();
    EXPECT_EQ(buffer.Size(), 6u);
    buffer.SeekG(0);
    char all[6];
    buffer.Get(all, 6);
    EXPECT_EQ(std::string(all, 6), "0123ab");
}

TEST(Buffer, StaticBufferNeverGrowsAndReadOnlyRejectsWrites) {
    char memory[4] = {};
    ZymFile::StaticMemoryBuffer writable(memory, 4);
    EXPECT_THROW(writable.Put("abcde", 5), Zym::BinaryStreamPutEOFException);
    EXPECT_EQ(std::string(memory, 4), "abcd");
    const char fixed[] = "xyz";
    ZymFile::StaticMemoryBuffer readOnly(static_cast<const void*>(fixed), 3);
    EXPECT_THROW(readOnly.Put("a", 1), Zym::BinaryStreamPutEOFException);
    char out[3];
    readOnly.Get(out, 3);
    EXPECT_EQ(std::string(out, 3), "xyz");
}

TEST(Buffer, BufferToBufferCopyStopsQuietlyAtTheEnd) {
    std::vector<unsigned char> source(100000);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 7);
    ZymFile::StaticMemoryBuffer from(static_cast<const void*>(source.data()), 100000);
    ZymFile::MemoryBuffer to;
    EXPECT_EQ(from.Get(to, 40000), 40000u);
    EXPECT_EQ(from.Get(to, 1000000), 60000u);
    EXPECT_EQ(from.Get(to, 10), 0u);
    ASSERT_EQ(to.Size(), 100000u);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), to.Data()));
}
