#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/RegFile.h>

#include <gtest/gtest.h>

namespace RegFile = ZymWindows::RegFile;

namespace {

std::vector<RegFile::Entry> ParseUtf8(const std::string& text) {
    return RegFile::Parse(text.data(), text.size());
}

// The text of the error that parsing raises, empty when it parses.
std::string ParseError(const std::string& text) {
    try {
        ParseUtf8(text);
    } catch (const ZymWindows::RegistryException& error) {
        return error.WhatUtf8();
    }
    return "";
}

const std::string HEADER = "Windows Registry Editor Version 5.00\r\n\r\n";

} // namespace

TEST(RegFileParse, EveryValueForm) {
    const auto entries = ParseUtf8(HEADER + "; a comment\n"
                                            "[HKEY_CURRENT_USER\\Software\\Test]\n"
                                            "@=\"default\"\n"
                                            "\"quoted \\\"name\\\"\"=\"C:\\\\dir\"\n"
                                            "\"dword\"=dword:0000002A\n"
                                            "\"bin\"=hex:00,01,\\\n"
                                            "  fe,ff\n"
                                            "\"multi\"=hex(7):61,00,00,00,00,00\n"
                                            "\"empty\"=hex(0):\n"
                                            "\"gone\"=-\n"
                                            "[-HKCU\\Software\\Old]\n");
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].kind, RegFile::Entry::KEY);
    EXPECT_EQ(entries[0].key.Full(), u"HKEY_CURRENT_USER\\Software\\Test");
    EXPECT_EQ(entries[0].line, 4u);
    EXPECT_EQ(entries[1].valueName, u"");
    EXPECT_EQ(entries[1].data, (std::vector<unsigned char>{'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0,
                                                           'l', 0, 't', 0, 0, 0}));
    EXPECT_EQ(entries[2].valueName, u"quoted \"name\"");
    EXPECT_EQ(entries[2].data.size(), 14u);
    EXPECT_EQ(entries[3].type, ZymWindows::REG_DWORD);
    EXPECT_EQ(entries[3].data, (std::vector<unsigned char>{0x2A, 0, 0, 0}));
    EXPECT_EQ(entries[4].type, ZymWindows::REG_BINARY);
    EXPECT_EQ(entries[4].data, (std::vector<unsigned char>{0, 1, 0xFE, 0xFF}));
    EXPECT_EQ(entries[5].type, ZymWindows::REG_MULTI_SZ);
    EXPECT_EQ(entries[6].type, ZymWindows::REG_NONE);
    EXPECT_TRUE(entries[6].data.empty());
    EXPECT_EQ(entries[7].kind, RegFile::Entry::DELETE_VALUE);
    EXPECT_EQ(entries[8].kind, RegFile::Entry::DELETE_KEY);
    EXPECT_EQ(entries[8].key.Full(), u"HKEY_CURRENT_USER\\Software\\Old");
    EXPECT_EQ(entries[8].line, 13u);
}

TEST(RegFileParse, TextEncodings) {
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n[HKCU\\Ключ]\r\n";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (const char16_t unit : text) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    const std::string utf8 = "\xEF\xBB\xBF" + ZymCharset::ToUtf8(text);
    for (const std::string& bytes : {little, big, utf8, utf8.substr(3)}) {
        const auto entries = RegFile::Parse(bytes.data(), bytes.size());
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].key.subPath, u"Ключ");
    }
    EXPECT_EQ(ParseError(little.substr(0, little.size() - 1)),
              "line 1: a UTF-16 document must have an even number of bytes");
}

TEST(RegFileParse, MalformedDocumentsNameTheirLine) {
    const std::string key = "[HKCU\\K]\n";
    const std::pair<std::string, std::string> cases[] = {
        {"REGEDIT4\n", "line 1: "},
        {HEADER + "\"v\"=\"x\"\n", "line 3: a value must follow"},
        {HEADER + "[HKEY_NOWHERE\\K]\n", "line 3: the key path must start"},
        {HEADER + "[HKCU\\K\n", "line 3: a key line must end"},
        {HEADER + "[HKCU\\a\\\\b]\n", "line 3: the key path has an empty key name"},
        {HEADER + "[HKCU\\a\\]\n", "line 3: the key path has an empty key name"},
        {HEADER + "[HKCU\\\\a]\n", "line 3: the key path has an empty key name"},
        {HEADER + "[-HKCU]\n", "line 3: a root key cannot be deleted"},
        {HEADER + key + "\"v\"=\"open\n", "line 4: missing closing quote"},
        {HEADER + key + "\"v\"=\"a\\qb\"\n", "line 4: unknown escape"},
        {HEADER + key + "\"v\"=\"a\" junk\n", "line 4: unexpected text"},
        {HEADER + key + "\"v\"=dword:123456789\n", "line 4: a dword needs"},
        {HEADER + key + "\"v\"=hex:1,2,xyz\n", "line 4: hex data must be bytes"},
        {HEADER + key + "\"v\"=hex(zz):00\n", "line 4: hex(N) needs"},
        {HEADER + key + "\"v\"=hex:00,\\", "line 4: the hex list continues past"},
        {HEADER + key + "\"v\"=qword:1\n", "line 4: unknown value data"},
        {HEADER + key + "\"v\" \"x\"\n", "line 4: expected '='"},
        {HEADER + key + "v=\"x\"\n", "line 4: a value line must start"},
        {HEADER + "[-HKCU\\K]\n\"v\"=-\n", "line 4: a value cannot follow the deletion"},
    };
    for (const auto& [text, error] : cases)
        EXPECT_EQ(ParseError(text).rfind(error, 0), 0u) << text << " gave " << ParseError(text);
}

// The root, written with or without its backslash, is no empty key name.
TEST(RegFileFormat, KeyPathsWithAnEmptyKeyNameAreNotWritten) {
    RegFile::Entry key{};
    key.kind = RegFile::Entry::KEY;
    ASSERT_TRUE(RegFile::ParseKeyPath(u"HKCU\\Software\\", key.key));
    EXPECT_THROW(RegFile::Format({key}), ZymWindows::RegistryException);
    ASSERT_TRUE(RegFile::ParseKeyPath(u"HKCU\\", key.key));
    EXPECT_NO_THROW(RegFile::Format({key}));
}
