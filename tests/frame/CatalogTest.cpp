#include <ZymMessages/ZymMessages.h>
#include <ZymWindows/ZymWindowsMsg-I.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

using namespace ZymWindows;

namespace {

// The catalog's texts by code, written out here rather than taken from the
// table that the blob is built from.
const std::u16string TEXTS[] = {
    u"The registry key datatype is not supported for key %1/%2.",
    u"The registry key path is invalid for %1.",
    u"The value \"%2\" does not exist in %1.",
    u"The root system key \"%1\" is invalid.",
    u"The other end of the pipe has disconnected.",
    u"Unknown exception.",
    u"ControlService",
    u"CreateService",
    u"GetModuleFileName",
    u"OpenSCManager",
    u"OpenService",
    u"PostThreadMessage",
    u"QueryServiceStatus",
    u"StartServiceCtrlDispatcher",
    u"Attempt to stop the service.",
    u"The service is installed.",
    u"Installing the service...",
    u"The service is running.",
    u"Starting the service...",
    u"The service start is pending...",
    u"The service is stopped.",
    u"The service stop is pending...",
    u"The service is uninstalled.",
    u"Uninstalling the service...",
    u"Service::Handler; %1",
    u"Service::Install; %1",
    u"Service::Main; %1",
    u"Service::Run; %1",
    u"Service::Start; %1",
    u"Service::Stop; %1",
    u"Service::Uninstall; %1",
};

std::uint32_t U32At(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

TEST(Catalog, BlobLayoutByteForByte) {
    const auto& blob = MessageCatalog::BLOB;
    ASSERT_EQ(blob.size(), 2374u);
    ASSERT_EQ(U32At(blob.data()), 31u);
    std::size_t at = 4, textBytes = 0;
    for (std::uint32_t code = 0; code < 31; ++code) {
        ASSERT_EQ(U32At(&blob[at]), 10u);
        EXPECT_EQ(std::memcmp(&blob[at + 4], "ZymWindows", 10), 0);
        EXPECT_EQ(U32At(&blob[at + 14]), code);
        EXPECT_EQ(U32At(&blob[at + 18]), 2u);
        EXPECT_EQ(blob[at + 22], 1);
        const std::uint32_t length = U32At(&blob[at + 23]);
        const std::u16string& expected = TEXTS[code];
        ASSERT_EQ(length, 2 * expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(blob[at + 27 + 2 * i], expected[i] & 0xFF);
            EXPECT_EQ(blob[at + 28 + 2 * i], expected[i] >> 8);
        }
        EXPECT_EQ(blob[at + 27 + length], 0);
        at += 28 + length;
        textBytes += length;
    }
    EXPECT_EQ(at, blob.size());
    EXPECT_EQ(textBytes, 1502u);
}

TEST(Catalog, RegisteredAtLoadUnderItsName) {
    EXPECT_TRUE(ZymMessages::IsLoaded("ZymWindowsMsg-I.h"));
    EXPECT_GE(ZymMessagesInit::ms_Cnt, 1);
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
