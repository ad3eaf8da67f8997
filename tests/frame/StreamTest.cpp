#include <Zym/BinaryStream.h>
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/Seek.h>
#include <ZymFile/StaticMemoryBuffer.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Zym::SeekDir;

namespace {

template <class T> T Next(Zym::BinaryStream& stream) {
    T value{};
    stream >> value;
    return value;
}

std::vector<unsigned char> Contents(const ZymFile::MemoryBuffer& buffer) {
    return std::vector<unsigned char>(buffer.Data(), buffer.Data() + buffer.Size());
}

} // namespace

TEST(Stream, IntegersBoolsFloatsAndStringsRoundTrip) {
    ZymFile::MemoryBuffer buffer(16);
    Zym::BinaryStream stream(buffer);
    const std::u16string longText(70000, u'\u00e9');
    stream << std::uint8_t{0xAB} << std::int16_t{-2} << 0xDEADBEEFu << std::int64_t{-5} << true
           << 1.5f << -2.25 << std::string("narrow") << std::u16string(u"wide \u20ac") << longText;
    EXPECT_EQ(Next<std::uint8_t>(stream), 0xAB);
    EXPECT_EQ(Next<std::int16_t>(stream), -2);
    EXPECT_EQ(Next<unsigned int>(stream), 0xDEADBEEFu);
    EXPECT_EQ(Next<std::int64_t>(stream), -5);
    EXPECT_TRUE(Next<bool>(stream));
    EXPECT_EQ(Next<float>(stream), 1.5f);
    EXPECT_EQ(Next<double>(stream), -2.25);
    EXPECT_EQ(Next<std::string>(stream), "narrow");
    EXPECT_EQ(Next<std::u16string>(stream), u"wide \u20ac");
    EXPECT_EQ(Next<std::u16string>(stream), longText);
    EXPECT_TRUE(buffer.EndOfFile());
}

TEST(Stream, WideStringWireEncoding) {
    ZymFile::MemoryBuffer shortBuf, longBuf;
    Zym::BinaryStream(shortBuf) << std::u16string(u"AB");
    EXPECT_EQ(Contents(shortBuf), (std::vector<unsigned char>{2, 0, 'A', 0, 'B', 0}));
    Zym::BinaryStream(longBuf) << std::u16string(65535, u'x');
    const auto bytes = Contents(longBuf);
    ASSERT_EQ(bytes.size(), 6u + 2 * 65535);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 6),
              (std::vector<unsigned char>{0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
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
