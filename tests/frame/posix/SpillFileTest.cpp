// The spill file of a disk buffer on Linux: a file without a name.
#include "TestFiles.h"

#include <ZymFile/DiskBuffer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern const char* const MISSING_SPILL_DIRECTORY_TEXT =
    "The system cannot find the file specified.";

TEST(SpillFile, HasNoNameWhileTheBufferUsesIt) {
    const zymtest::ScratchDirectory scratch;
    ZymFile::DiskBuffer buffer(scratch.Path().string(), 16, 16);
    buffer.Put(std::string(100, 'x').data(), 100);
    ASSERT_TRUE(buffer.UsesFile());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}
