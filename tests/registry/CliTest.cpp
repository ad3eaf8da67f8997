#include "TempStore.h"

#include <ZymCharset/Utf.h>

#include <gtest/gtest.h>

using RegistryTest::Zymwin;

namespace {

class RegCommand : public ::testing::Test {
protected:
    void Ok(const std::vector<std::string>& args) {
        const auto run = Zymwin(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "The operation completed successfully.\n");
    }

    RegistryTest::TempStore m_Store;
};

// The text of a UTF-16LE document after its byte order mark.
std::string Utf16Text(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    return ZymCharset::ToUtf8(text);
}

} // namespace

TEST_F(RegCommand, QueryListsValuesAndSubKeysLikeReg) {
    // Values list in the order of their writing, which is here also that
    // of their names (Wine lists them by name).
    Ok({"reg", "add", "HKCU\\Software\\T", "/v", "Bin", "/t", "reg_binary", "/d", "00ff"});
    Ok({"reg", "add", "HKCU\\Software\\T", "/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b"});
    Ok({"reg", "add", "HKCU\\Software\\T", "/v", "Name", "/d", "grüß"});
    Ok({"reg", "add", "HKCU\\Software\\T", "/v", "Num", "/t", "REG_DWORD", "/d", "42"});
    Ok({"reg", "add", "HKCU\\Software\\T", "/v", "Q", "/t", "REG_QWORD", "/d", "0x100000000"});
    Ok({"reg", "add", "HKCU\\Software\\T\\Sub", "/ve", "/d", "inner"});

    auto run = Zymwin({"reg", "query", "HKEY_CURRENT_USER\\Software\\T"});
    EXPECT_EQ(run.out, "\nHKEY_CURRENT_USER\\Software\\T\n"
                       "    Bin    REG_BINARY    00FF\n"
                       "    Multi    REG_MULTI_SZ    a\\0b\n"
                       "    Name    REG_SZ    grüß\n"
                       "    Num    REG_DWORD    0x2a\n"
                       "    Q    REG_QWORD    0x100000000\n"
                       "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n\n");
    run = Zymwin({"reg", "query", "HKCU\\Software\\T", "/s"});
    EXPECT_NE(run.out.find("HKEY_CURRENT_USER\\Software\\T\\Sub\n"
                           "    (Default)    REG_SZ    inner\n"),
              std::string::npos);
    run = Zymwin({"reg", "query", "HKCU\\Software\\T", "/ve"});
    EXPECT_EQ(run.out,
              "\nHKEY_CURRENT_USER\\Software\\T\n    (Default)    REG_SZ    (value not set)\n\n");

    run = Zymwin({"reg", "query", "HKCU\\Software\\T", "/v", "missing"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "zymwin reg: The system was unable to find the specified registry key or value.\n");
    run = Zymwin({"reg", "add", "HKCU\\Software\\T", "/v", "Num", "/t", "REG_DWORD", "/d", "-1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zymwin reg: '-1' is not a valid REG_DWORD number\n");
}

TEST_F(RegCommand, ExistingDataIsKeptUnlessConfirmed) {
    Ok({"reg", "add", "HKCU\\K", "/v", "v", "/d", "old"});
    auto run = Zymwin({"reg", "add", "HKCU\\K", "/v", "v", "/d", "new"}, "no\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Value v exists, overwrite (Yes/No)? ");
    run = Zymwin({"reg", "delete", "HKCU\\K"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(Zymwin({"reg", "query", "HKCU\\K", "/v", "v"}).out.find("old"), std::string::npos);

    run = Zymwin({"reg", "delete", "HKCU\\K", "/v", "v"}, "yes\n");
    EXPECT_EQ(run.status, 0) << run.err;
    Ok({"reg", "delete", "HKCU\\K", "/f"});
    EXPECT_EQ(Zymwin({"reg", "query", "HKCU\\K"}).status, 1);
}

// Data that no other form carries goes as a hex list, wrapped to 80
// columns: long binary data, text with a line break or of an odd length,
// a dword that is not four bytes, a type the format has no word for.
TEST_F(RegCommand, ExportAndImportRoundTripEveryType) {
    std::string longHex;
    for (int i = 0; i < 300; ++i)
        longHex += (i ? "," : "") + std::string(1, "0123456789abcdef"[i / 16 % 16]) +
                   "0123456789abcdef"[i % 16];
    const auto reg = m_Store.File("in.reg");
    RegistryTest::WriteFile(reg, "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\All]\n"
                                 "@=\"default\"\n"
                                 "\"sz\"=\"C:\\\\x \\\"q\\\"\"\n"
                                 "\"expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                                 "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                 "\"dword\"=dword:ffffffff\n"
                                 "\"qword\"=hex(b):01,00,00,00,00,00,00,80\n"
                                 "\"binary\"=hex:de,ad,be,ef\n"
                                 "\"none\"=hex(0):\n"
                                 "\"bigendian\"=hex(5):00,00,00,01\n"
                                 "\"unterminated\"=hex(1):41,00\n"
                                 "\"odd\"=hex(1):61,00,62\n"
                                 "\"line\\nbreak \\\"name\\\"\"=hex(1):61,00,0a,00,00,00\n"
                                 "\"short dword\"=hex(4):01,02\n"
                                 "\"big\"=hex(12345678):09\n"
                                 "\"long\"=hex:" +
                                     longHex +
                                     "\n\n"
                                     "[HKEY_CURRENT_USER\\Software\\All\\Child\\Grandchild]\n"
                                     "\"deep\"=dword:00000001\n");
    Ok({"reg", "import", reg.string()});
    const auto first = m_Store.File("first.reg");
    const auto second = m_Store.File("second.reg");
    Ok({"reg", "export", "HKCU\\Software\\All", first.string()});
    const std::string exported = RegistryTest::ReadFile(first);
    ASSERT_EQ(exported.substr(0, 2), "\xFF\xFE");
    const std::string text = Utf16Text(exported);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\All]\r\n"
                         "@=\"default\"\r\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\r\n\"sz\"=\"C:\\\\x \\\"q\\\"\"\r\n"), std::string::npos) << text;
    for (const std::string& line : RegistryTest::SplitLines(text))
        EXPECT_LE(line.size(), 80u) << line;
    EXPECT_NE(text.find("\r\n\"line\\nbreak \\\"name\\\"\"=hex(1):61,00,0a,00,00,00\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\All\\Child]\r\n\r\n"
                        "[HKEY_CURRENT_USER\\Software\\All\\Child\\Grandchild]\r\n"),
              std::string::npos);

    Ok({"reg", "delete", "HKCU\\Software\\All", "/f"});
    Ok({"reg", "import", first.string()});
    Ok({"reg", "export", "HKCU\\Software\\All", second.string()});
    EXPECT_EQ(RegistryTest::ReadFile(second), exported);
}

TEST_F(RegCommand, MalformedImportChangesNothing) {
    const auto reg = m_Store.File("bad.reg");
    RegistryTest::WriteFile(reg, "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Half]\n"
                                 "\"a\"=dword:00000001\n"
                                 "\"b\"=dword:xyz\n");
    const auto run = Zymwin({"reg", "import", reg.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "zymwin reg: " + reg.string() + ": line 5: a dword needs 1 to 8 hex digits\n");
    EXPECT_EQ(Zymwin({"reg", "query", "HKCU\\Half"}).status, 1);
}

TEST_F(RegCommand, UuidCommand) {
    auto run = Zymwin({"uuid"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.size(), 37u);
    Ok({"reg", "add", "HKLM\\SOFTWARE\\Classes\\Zym.Test\\CLSID", "/ve", "/d",
        "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"});
    run = Zymwin({"uuid", "parse", "Zym.Test"});
    EXPECT_EQ(run.out, "3f2504e0-4f89-11d3-9a0c-0305e82c3301\n");
    run = Zymwin({"uuid", "parse", "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zymwin uuid: '{3F2504E0-4F89-11D3-9A0C-0305E82C3301}' is neither a UUID "
                       "nor a registered ProgID\n");
    for (const char* command : {"reg", "uuid"}) {
        run = Zymwin({command, "--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("Usage: zymwin ", 0), 0u);
    }
}
