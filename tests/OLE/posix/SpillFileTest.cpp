// The spill file of a disk buffer on Linux: a file without a name.
#include "TestFiles.h"

#include <ZymFile/DiskBuffer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(SpillFile, HasNoNameWhileTheBufferUsesIt) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer(scratch.Path().string(), 16, 16);
    buffer.Put(std::string(100, 'x').data(), 100);
    ASSERT_TRUE(buffer.UsesFile());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

TEST(SpillFile, AMissingDirectoryIsAMissingFile) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer((scratch.Path() / "missing").string(), 16, 16);
    try {
        buffer.Put(std::string(17, 'x').data(), 17);
        FAIL() << "a put past the limit needs the spill file";
    } catch (const Zym::BinaryStreamPutEOFException& error) {
        EXPECT_EQ(error.WhatUtf8(), "The system cannot find the file specified.");
    }
}
