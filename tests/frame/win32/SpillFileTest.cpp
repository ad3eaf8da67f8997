// The spill file of a disk buffer on Windows: a temporary file that the
// system deletes when the buffer closes it.
#include "TestFiles.h"

#include <ZymFile/DiskBuffer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

TEST(SpillFile, GoesWithTheBuffer) {
    const zymtest::ScratchDirectory scratch;
    std::optional<ZymFile::DiskBuffer> buffer(std::in_place, scratch.Path().string(), 16, 16);
    buffer->Put(std::string(100, 'x').data(), 100);
    ASSERT_TRUE(buffer->UsesFile());
    EXPECT_FALSE(std::filesystem::is_empty(scratch.Path()));
    buffer.reset();
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

// The put that needs the file fails with the system's reason; what was
// written before stays.
TEST(SpillFile, AMissingDirectoryIsAnInvalidDirectoryName) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer((scratch.Path() / "missing").string(), 16, 16);
    buffer.Put("0123456789abcdef", 16);
    try {
        buffer.Put("x", 1);
        FAIL() << "a put past the limit needs the spill file";
    } catch (const Zym::BinaryStreamPutEOFException& error) {
        EXPECT_EQ(error.WhatUtf8(), "The directory name is invalid.");
    }
    char kept[6];
    buffer.SeekG(10);
    buffer.Get(kept, 6);
    EXPECT_EQ(std::string(kept, 6), "abcdef");
}
