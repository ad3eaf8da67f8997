#include "TempStore.h"

#include <ZymFile/MemoryBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/RegFile.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

using RegistryTest::Catch;
using RegistryTest::Raised;
using ZymWindows::RegKey;
using ZymWindows::RegKeyW;

namespace {

class RegistryValue : public ::testing::Test {
protected:
    RegKey::Ptr Key() {
        return RegKey::Create(RegKey::CURRENT_USER, "Values", RegKey::CREATE_READ_WRITE);
    }

    RegistryTest::TempStore m_Store;
};

} // namespace

TEST_F(RegistryValue, EachKindReadsBackAsWritten) {
    const auto key = Key();
    key->CreateStringValue("narrow", "caf\xE9");
    key->CreateWStringValue("wide", u"Ключ");
    key->CreateDWORDValue("dword", 0xDEADBEEF);
    ZymFile::MemoryBuffer bytes;
    bytes.Put("\x00\x01\xFF", 3);
    key->CreateBinaryValue("binary", bytes);

    EXPECT_EQ(key->GetStringValue("narrow").ReadString(), "caf\xE9");
    EXPECT_EQ(key->GetWStringValue("narrow").ReadWString(), u"café");
    EXPECT_EQ(key->GetWStringValue("wide").ReadWString(), u"Ключ");
    EXPECT_EQ(key->GetStringValue("wide").ReadString(), "????");
    EXPECT_EQ(key->GetDWORDValue("dword").ReadDWORD(), 0xDEADBEEFul);
    ZymFile::MemoryBuffer out;
    key->GetBinaryValue("binary").ReadBinary(out);
    ASSERT_EQ(out.Size(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Data()), 3),
              std::string("\0\1\xFF", 3));

    EXPECT_EQ(key->GetValueType("narrow"), RegKey::STRING_TYPE);
    EXPECT_EQ(key->GetValueType("DWORD"), RegKey::DWORD_TYPE);
    EXPECT_EQ(key->GetValueType("binary"), RegKey::BINARY_TYPE);
}

TEST_F(RegistryValue, EmptyStringsKeepTheirTerminator) {
    const auto key = Key();
    key->CreateStringValue("n", "");
    key->CreateWStringValue("w", u"");
    std::vector<unsigned char> data;
    EXPECT_EQ(key->GetStringValue("n").ReadRaw(data), ZymWindows::REG_SZ);
    EXPECT_EQ(data.size(), 1u);
    const auto wide = RegKeyW::Create(RegKeyW::CURRENT_USER, u"Values", RegKeyW::OPEN_READ_ONLY);
    EXPECT_EQ(wide->GetStringValue(u"w").ReadRaw(data), ZymWindows::REG_SZ);
    EXPECT_EQ(data.size(), 2u);
    EXPECT_EQ(key->GetStringValue("n").ReadString(), "");
    EXPECT_EQ(wide->GetWStringValue(u"w").ReadWString(), u"");
}

TEST_F(RegistryValue, RewritingReplacesInPlace) {
    const auto key = Key();
    const auto first = key->CreateDWORDValue("count", 1);
    key->CreateStringValue("other", "x");
    const auto second = key->CreateDWORDValue("COUNT", 2);
    EXPECT_TRUE(first == key->CreateDWORDValue("count", 3));
    EXPECT_FALSE(first == second);
    EXPECT_EQ(key->GetDWORDValue("count").ReadDWORD(), 3u);
    std::vector<std::string> names;
    key->GetValuesNames(names);
    // Enumeration keeps the order of first writing, and the first spelling.
    EXPECT_EQ(names, (std::vector<std::string>{"other", "count"}));
}

TEST_F(RegistryValue, MissingValuesRaiseOnlyWhenRead) {
    const auto key = Key();
    const auto handle = key->GetStringValue("absent");
    const Raised missing = Catch([&] { handle.ReadString(); });
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.text, "The value \"absent\" does not exist in HKEY_CURRENT_USER\\Values.");
    EXPECT_FALSE(key->ValueExists("absent"));
    EXPECT_EQ(Catch([&] { key->DeleteValue("absent"); }).text,
              "The system cannot find the file specified.: absent");
}

TEST_F(RegistryValue, OtherTypesAreNotSupportedByTheTypedCalls) {
    const std::string expand = "Windows Registry Editor Version 5.00\n\n[HKCU\\Values]\n"
                               "\"path\"=hex(2):25,00,58,00,25,00,00,00\n";
    ZymWindows::RegFile::Import(ZymWindows::RegFile::Parse(expand.data(), expand.size()));

    const auto key = Key();
    const Raised noType = Catch([&] { key->GetValueType("path"); });
    EXPECT_EQ(noType.code, 0);
    EXPECT_EQ(noType.params.at(0), u"path");
    const Raised notString = Catch([&] { key->GetStringValue("path").ReadString(); });
    EXPECT_EQ(notString.code, 0);
    EXPECT_EQ(notString.params.at(0), u"HKEY_CURRENT_USER\\Values");
    EXPECT_EQ(notString.params.at(1), u"path");
    std::vector<unsigned char> data;
    EXPECT_EQ(key->GetStringValue("path").ReadRaw(data), ZymWindows::REG_EXPAND_SZ);
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("%X%\0", 4));
    EXPECT_THROW(key->GetDWORDValue("path").ReadDWORD(), ZymWindows::RegistryException);
}

TEST_F(RegistryValue, DefaultValueAndDeletingAll) {
    const auto key = Key();
    key->CreateStringValue("", "default");
    key->CreateDWORDValue("a", 1);
    key->CreateDWORDValue("b", 2);
    EXPECT_EQ(key->GetStringValue("").ReadString(), "default");
    EXPECT_TRUE(key->ValueExists(""));

    const auto readOnly = RegKey::Create(RegKey::CURRENT_USER, "Values", RegKey::OPEN_READ_ONLY);
    EXPECT_THROW(readOnly->DeleteAllValues(), ZymWindows::RegistryException);
    key->DeleteAllValues();
    std::vector<std::string> names;
    key->GetValuesNames(names);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(key->ValueExists(""));
}
