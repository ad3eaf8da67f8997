// The library on the system's own registry, seen by other processes and by
// the system's reg.exe.
#include "../TempStore.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

#include <windows.h>

using ZymWindows::RegKey;

TEST(SystemRegistry, WritesAreSharedWithOtherProcessesAndRegExe) {
    const std::string path =
        "Software\\ZymWindows Tests\\Shared " + std::to_string(::GetCurrentProcessId());
    const auto written = RegistryTest::Zymwin(
        {"reg", "add", "HKCU\\" + path, "/v", "v", "/t", "REG_DWORD", "/d", "7"});
    ASSERT_EQ(written.status, 0) << written.err;

    const auto key = RegKey::Create(RegKey::CURRENT_USER, path, RegKey::OPEN_READ_WRITE);
    EXPECT_EQ(key->GetDWORDValue("v").ReadDWORD(), 7u);
    key->CreateStringValue("s", "from the library");

    // reg.exe prints in the console code page: only ASCII is compared.
    const auto query = zymtest::RunProcess({"reg", "query", "HKCU\\" + path});
    ASSERT_EQ(query.status, 0) << query.err;
    EXPECT_NE(query.out.find("REG_DWORD    0x7"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("REG_SZ    from the library"), std::string::npos) << query.out;

    key->Delete();
    EXPECT_NE(zymtest::RunProcess({"reg", "query", "HKCU\\" + path}).status, 0);
    EXPECT_NE(RegistryTest::Zymwin({"reg", "query", "HKCU\\" + path}).status, 0);
}
