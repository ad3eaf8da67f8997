#include <ZymMessages/ZymMessages.h>
#include <ZymWindows/ZymWindowsMsg-I.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace ZymWindows;

// A text that a family raises is checked in that family's suite.
TEST(Catalog, RegisteredAtLoadUnderItsName) {
    EXPECT_TRUE(ZymMessages::IsLoaded("ZymWindowsMsg-I.h"));
    EXPECT_GE(ZymMessagesInit::ms_Cnt, 1);
    for (int code = 0; code <= 30; ++code)
        EXPECT_NE(ZymMessages::ReadMessage("ZymWindows", code, -1), u"") << code;
    EXPECT_EQ(ZymMessages::ReadMessage("ZymWindows", MSG_PIPE_DISCONNECTED, -1),
              u"The other end of the pipe has disconnected.");
    EXPECT_EQ(ZymMessages::ReadMessage("ZymWindows", 31, -1), u"");
    EXPECT_EQ(ZymMessages::ReadMessage("Other", 4, -1), u"");
}

TEST(Catalog, TruncatedOrPaddedBlobsAreRejectedWhole) {
    const auto& blob = MessageCatalog::BLOB;
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{100}, blob.size() - 1})
        EXPECT_FALSE(ZymMessages::Load(blob.data(), cut, "cut")) << cut;
    std::vector<std::uint8_t> padded(blob.begin(), blob.end());
    padded.push_back(0);
    EXPECT_FALSE(ZymMessages::Load(padded.data(), padded.size(), "padded"));
    EXPECT_FALSE(ZymMessages::IsLoaded("cut"));
    EXPECT_FALSE(ZymMessages::IsLoaded("padded"));
}
