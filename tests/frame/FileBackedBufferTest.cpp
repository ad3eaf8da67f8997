// The buffers that keep their bytes in files: a disk buffer spills to a
// file past its memory limit, a file buffer reads a file through a window.
#include "TestFiles.h"

#include <ZymFile/DiskBuffer.h>
#include <ZymFile/FileBuffer.h>
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/Seek.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> Pattern(std::size_t n) {
    std::vector<unsigned char> bytes(n);
    std::mt19937 random(7);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

std::vector<unsigned char> ReadAt(Zym::BinaryStreamBuf& buffer, unsigned int at, unsigned int n) {
    std::vector<unsigned char> out(n);
    buffer.SeekG(at);
    buffer.Get(out.data(), n);
    return out;
}

std::string OpenError(const std::string& path) {
    try {
        ZymFile::FileBuffer buffer(path);
    } catch (const ZymFile::FileException& error) {
        return error.WhatUtf8();
    }
    return "opened";
}

} // namespace

TEST(DiskBuffer, SpillsPastTheLimitAndReadsAndWritesAcrossTheBoundary) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer(scratch.Path().string(), 32768, 262144);
    const auto data = Pattern(1000003);
    buffer.Put(data.data(), 262144);
    EXPECT_FALSE(buffer.UsesFile());
    for (std::size_t at = 262144; at < data.size(); at += 77777)
        buffer.Put(data.data() + at,
                   static_cast<unsigned int>(std::min<std::size_t>(77777, data.size() - at)));
    EXPECT_TRUE(buffer.UsesFile());
    EXPECT_EQ(buffer.Size(), data.size());
    for (unsigned int at : {0u, 262000u, 500000u, 999000u}) {
        const auto got = ReadAt(buffer, at, 1003);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + at)) << at;
    }
    EXPECT_THROW(buffer.SeekG(1000004), ZymFile::SeekOutOfRangeException);

    const std::vector<unsigned char> patch(1000, 0xAB);
    buffer.SeekP(261644);
    buffer.Put(patch.data(), 1000);
    EXPECT_EQ(ReadAt(buffer, 261644, 1000), patch);
    buffer.SeekP(300000);
    buffer.ClearEnd();
    EXPECT_THROW(ReadAt(buffer, 299000, 1001), Zym::BinaryStreamGetEOFException);
    ZymFile::MemoryBuffer copy;
    buffer.SeekG(100);
    EXPECT_EQ(buffer.Get(copy, 1000000), 300000u - 100);
    EXPECT_EQ(std::vector<unsigned char>(copy.Data() + 261544, copy.Data() + 262544), patch);

    buffer.Clear();
    buffer.Put("abc", 3);
    EXPECT_EQ(ReadAt(buffer, 1, 2), (std::vector<unsigned char>{'b', 'c'}));
    buffer.ClearMemory();
    EXPECT_FALSE(buffer.UsesFile());
    EXPECT_EQ(buffer.Size(), 0u);
}

// This system's reason for a spill directory that is not there (posix/,
// win32/).
extern const char* const MISSING_SPILL_DIRECTORY_TEXT;

// The put that needs the spill file fails with the system's reason; what was
// written before stays.
TEST(DiskBuffer, AMissingDirectoryFailsThePutThatNeedsTheFile) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer((scratch.Path() / "missing").string(), 16, 16);
    buffer.Put("0123456789abcdef", 16);
    try {
        buffer.Put("x", 1);
        FAIL() << "a put past the limit needs the spill file";
    } catch (const Zym::BinaryStreamPutEOFException& error) {
        EXPECT_EQ(error.WhatUtf8(), MISSING_SPILL_DIRECTORY_TEXT);
    }
    EXPECT_EQ(ReadAt(buffer, 10, 6), (std::vector<unsigned char>{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST(FileBuffer, ReadsAnyOffsetThroughTheWindowAndInLargePieces) {
    const zymtest::ScratchDirectory scratch;
    const auto data = Pattern(3 * ZymFile::FileBuffer::WINDOW_SIZE + 12345);
    const auto path = (scratch.Path() / "data.bin").string();
    zymtest::WriteFile(path, std::string(data.begin(), data.end()));

    ZymFile::FileBuffer buffer(path);
    EXPECT_EQ(buffer.Size(), data.size());
    std::mt19937 random(3);
    for (int i = 0; i < 200; ++i) {
        const unsigned int at = random() % data.size();
        const unsigned int n = std::min<unsigned int>(random() % 70000, data.size() - at);
        const auto got = ReadAt(buffer, at, n);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), data.begin() + at)) << at << "+" << n;
    }
    EXPECT_THROW(ReadAt(buffer, static_cast<unsigned int>(data.size() - 1), 2),
                 Zym::BinaryStreamGetEOFException);
    EXPECT_THROW(buffer.Put("x", 1), Zym::BinaryStreamPutEOFException);
}

// A missing file's reason is checked through zymwin cfb in the OLE suite.
TEST(FileBuffer, OpenFailuresNameTheFileAndTheReason) {
    const zymtest::ScratchDirectory scratch;
    const fs::path& dir = scratch.Path();
    EXPECT_EQ(OpenError(dir.string()), dir.string() + ": Access is denied.");
    // Sizes up to 4 GiB - 1 are addressed; a larger file is refused.
    const auto sparse = dir / "sparse.bin";
    zymtest::WriteFile(sparse, "");
    fs::resize_file(sparse, 0xFFFFFFFFull);
    ZymFile::FileBuffer largest(sparse.string());
    EXPECT_EQ(ReadAt(largest, 0xFFFFFFFEu, 1), std::vector<unsigned char>{0});
    fs::resize_file(sparse, 0x100000000ull);
    EXPECT_EQ(OpenError(sparse.string()),
              sparse.string() + ": The file is larger than 4 GiB - 1 bytes.");
}
