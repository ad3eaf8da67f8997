// The spill file of a disk buffer on Windows: a temporary file that the
// system deletes when the buffer closes it.
#include "TestFiles.h"

#include <ZymFile/DiskBuffer.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

extern const char* const MISSING_SPILL_DIRECTORY_TEXT = "The directory name is invalid.";

TEST(SpillFile, GoesWithTheBuffer) {
    const zymtest::ScratchDirectory scratch;
    std::optional<ZymFile::DiskBuffer> buffer(std::in_place, scratch.Path().string(), 16, 16);
    buffer->Put(std::string(100, 'x').data(), 100);
    ASSERT_TRUE(buffer->UsesFile());
    EXPECT_FALSE(std::filesystem::is_empty(scratch.Path()));
    buffer.reset();
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}
