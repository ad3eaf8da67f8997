#include "TestFiles.h"

#include <ZymNetwork/IP.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using zymtest::CommandOutput;

// The first IPv4 address that iproute2 lists for the interfaces selected
// by `selection`, skipping loopback ones.
std::string FirstAddress(const std::string& selection) {
    std::istringstream lines(CommandOutput("ip -4 -o addr show " + selection + " 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string index, name, family, cidr;
        fields >> index >> name >> family >> cidr;
        if (name != "lo" && family == "inet")
            return cidr.substr(0, cidr.find('/'));
    }
    return {};
}

} // namespace

TEST(IP, MyAddressIsTheOneOfTheDefaultRouteAsIproute2Sees) {
    if (CommandOutput("command -v ip").empty())
        GTEST_SKIP() << "iproute2 is not installed";
    std::istringstream route(CommandOutput("ip -4 route show default"));
    std::string word, device;
    while (route >> word)
        if (word == "dev" && route >> device)
            break;
    std::string expected = device.empty() ? "" : FirstAddress("dev " + device);
    if (expected.empty())
        expected = FirstAddress("up");
    if (expected.empty())
        expected = "127.0.0.1";
    const ZymNetwork::IP mine = ZymNetwork::IP::GetMyIP();
    EXPECT_EQ(mine.ToString(), expected);
    EXPECT_EQ(mine.ToWString(), std::u16string(expected.begin(), expected.end()));
}

TEST(IP, DottedDecimalText) {
    EXPECT_EQ(ZymNetwork::IP().ToWString(), u"0.0.0.0");
    EXPECT_EQ(ZymNetwork::IP(255, 255, 255, 255).ToWString(), u"255.255.255.255");
    EXPECT_EQ(ZymNetwork::IP(192, 0, 2, 10).ToString(), "192.0.2.10");
    EXPECT_EQ(ZymNetwork::IP(0x0A000001).ToString(), "10.0.0.1");
}
