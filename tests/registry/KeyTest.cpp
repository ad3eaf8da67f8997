#include "TempStore.h"
#include "Wine.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

using RegistryTest::Catch;
using RegistryTest::Raised;
using ZymWindows::RegKey;
using ZymWindows::RegKeyW;

namespace {

class RegistryKey : public ::testing::Test {
protected:
    RegistryTest::TempStore m_Store;
};

} // namespace

TEST_F(RegistryKey, FullPathsNeedABackslashAndAKnownRoot) {
    for (const std::string path : {"", "HKEY_CURRENT_USER"}) {
        const Raised raised = Catch([&] { RegKey::Create(path, RegKey::CREATE_READ_WRITE); });
        EXPECT_EQ(raised.code, 1);
        EXPECT_EQ(raised.params.at(0),
                  path.empty() ? Zym::MessageInfo::EMPTY_PARAM_VALUE : ZymCharset::FromUtf8(path));
    }
    for (const std::string root : {"hkey_current_user", "HKEY_USERS", "HKCU"}) {
        const Raised raised =
            Catch([&] { RegKey::Create(root + "\\Software", RegKey::CREATE_READ_WRITE); });
        EXPECT_EQ(raised.code, 3);
        EXPECT_EQ(raised.text, "The root system key \"" + root + "\" is invalid.");
    }
}

TEST_F(RegistryKey, NamesOfKeysByHowTheyWereMade) {
    const auto root = RegKey::Create("HKEY_CURRENT_USER\\", RegKey::OPEN_READ_ONLY);
    EXPECT_EQ(root->KeyName(), "");
    EXPECT_EQ(root->FullKeyName(), "");

    const auto full = RegKey::Create("HKEY_CURRENT_USER\\Software\\Zym", RegKey::CREATE_READ_WRITE);
    EXPECT_EQ(full->KeyName(), "Software\\Zym");
    EXPECT_EQ(full->FullKeyName(), "Software\\Zym");

    const auto std = RegKey::Create(RegKey::CURRENT_USER, "Software\\Zym", RegKey::OPEN_READ_WRITE);
    EXPECT_EQ(std->FullKeyName(), "HKEY_CURRENT_USER\\Software\\Zym");
    const auto child = RegKey::Create(std, "Child", RegKey::CREATE_READ_WRITE);
    EXPECT_EQ(child->FullKeyName(), "HKEY_CURRENT_USER\\Software\\Zym\\Child");

    const auto users = RegKey::Create(RegKey::USERS, "S-1-22-1-0", RegKey::CREATE_READ_WRITE);
    EXPECT_EQ(users->FullKeyName(), "\\S-1-22-1-0");
}

TEST_F(RegistryKey, OpeningAMissingKeyFailsAndCreatingMakesIt) {
    for (const auto mode : {RegKey::OPEN_READ_ONLY, RegKey::OPEN_READ_WRITE}) {
        const Raised raised = Catch([&] { RegKey::Create(RegKey::CURRENT_USER, "Missing", mode); });
        EXPECT_EQ(raised.code, -1);
        EXPECT_EQ(raised.text,
                  "The system cannot find the file specified.: HKEY_CURRENT_USER\\Missing");
    }
    RegKey::Create(RegKey::CURRENT_USER, "Missing\\Deeper", RegKey::CREATE_READ_WRITE);
    EXPECT_NO_THROW(RegKey::Create(RegKey::CURRENT_USER, "Missing", RegKey::OPEN_READ_ONLY));
    // A doubled backslash after the root gives a key name that begins with
    // a backslash: the path is invalid.
    const Raised raised =
        Catch([] { RegKey::Create("HKEY_CURRENT_USER\\\\Missing", RegKey::CREATE_READ_WRITE); });
    EXPECT_EQ(raised.text, "The specified path is invalid.: \\Missing");
}

TEST_F(RegistryKey, NamesAreCaseInsensitiveAndKeepTheirCase) {
    const auto key = RegKeyW::Create(RegKeyW::CURRENT_USER, u"Software\\Ünïcode Kéy",
                                     RegKeyW::CREATE_READ_WRITE);
    key->CreateDWORDValue(u"Größe", 7);
    const auto again =
        RegKeyW::Create(RegKeyW::CURRENT_USER, u"SOFTWARE\\ÜNÏCODE KÉY", RegKeyW::OPEN_READ_ONLY);
    EXPECT_EQ(again->GetDWORDValue(u"GRÖßE").ReadDWORD(), 7u);

    std::vector<std::u16string> names;
    RegKeyW::Create(RegKeyW::CURRENT_USER, u"software", RegKeyW::OPEN_READ_ONLY)
        ->GetSubKeysNames(names);
    EXPECT_EQ(names, std::vector<std::u16string>{u"Ünïcode Kéy"});
    names.clear();
    again->GetValuesNames(names);
    EXPECT_EQ(names, std::vector<std::u16string>{u"Größe"});

    // Asking and deleting by a name in another case reach the same value.
    const auto writable =
        RegKeyW::Create(RegKeyW::CURRENT_USER, u"SOFTWARE\\ünïcode kéy", RegKeyW::OPEN_READ_WRITE);
    EXPECT_TRUE(writable->ValueExists(u"gRÖßE"));
    writable->DeleteValue(u"gRÖße");
    EXPECT_FALSE(key->ValueExists(u"Größe"));

    // Names beyond the Basic Multilingual Plane keep their surrogate pairs.
    const std::u16string clef = u"Clef \U0001D11E";
    RegKeyW::Create(key, clef, RegKeyW::CREATE_READ_WRITE);
    names.clear();
    key->GetSubKeysNames(names);
    EXPECT_EQ(names, std::vector<std::u16string>{clef});
    EXPECT_EQ(names.front().size(), 7u);
}

TEST_F(RegistryKey, NarrowNamesAreCodePage1252) {
    // "caf\xE9" is café in code page 1252.
    RegKey::Create(RegKey::CURRENT_USER, "caf\xE9", RegKey::CREATE_READ_WRITE);
    std::vector<std::u16string> wide;
    RegKeyW::Create(RegKeyW::CURRENT_USER, u"", RegKeyW::OPEN_READ_ONLY)->GetSubKeysNames(wide);
    EXPECT_EQ(wide, std::vector<std::u16string>{u"café"});
    // A name outside the code page reads back narrow with '?'. Names come
    // in descending order, after what the vector held.
    RegKeyW::Create(RegKeyW::CURRENT_USER, u"Ключ", RegKeyW::CREATE_READ_WRITE);
    std::vector<std::string> narrow{"x", "y"};
    RegKey::Create(RegKey::CURRENT_USER, "", RegKey::OPEN_READ_ONLY)->GetSubKeysNames(narrow);
    EXPECT_EQ(narrow, (std::vector<std::string>{"x", "y", "????", "caf\xE9"}));
}

TEST_F(RegistryKey, ChildKeepsItsParentAlive) {
    auto parent = RegKey::Create(RegKey::CURRENT_USER, "Parent", RegKey::CREATE_READ_WRITE);
    const auto child = RegKey::Create(parent, "Child", RegKey::CREATE_READ_WRITE);
    parent.Reset();
    EXPECT_EQ(child->FullKeyName(), "HKEY_CURRENT_USER\\Parent\\Child");
    child->CreateDWORDValue("v", 1);
}

TEST_F(RegistryKey, DeleteRemovesTheSubtreeAndLeavesADeadHandle) {
    const auto top = RegKey::Create(RegKey::CURRENT_USER, "Tree", RegKey::CREATE_READ_WRITE);
    RegKey::Create(top, "a\\b\\c", RegKey::CREATE_READ_WRITE)->CreateDWORDValue("leaf", 1);
    RegKey::Create(top, "d", RegKey::CREATE_READ_WRITE);
    top->CreateStringValue("kept", "yes");

    top->DeleteAllSubKeys();
    std::vector<std::string> names;
    top->GetSubKeysNames(names);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(top->GetStringValue("kept").ReadString(), "yes");

    RegKey::Create(top, "e\\f", RegKey::CREATE_READ_WRITE);
    top->Delete();
    EXPECT_THROW(RegKey::Create(RegKey::CURRENT_USER, "Tree", RegKey::OPEN_READ_ONLY),
                 ZymWindows::RegistryException);
    const std::string deleted = "Illegal operation attempted on a registry key that has been "
                                "marked for deletion.";
    EXPECT_EQ(Catch([&] { top->CreateDWORDValue("late", 1); }).text,
              deleted + ": HKEY_CURRENT_USER\\Tree\\late");
    EXPECT_EQ(Catch([&] { top->GetSubKeysNames(names); }).text, deleted);
    EXPECT_EQ(Catch([&] { RegKey::Create(top, "x", RegKey::CREATE_READ_WRITE); }).text,
              deleted + ": HKEY_CURRENT_USER\\Tree\\x");
}

TEST_F(RegistryKey, ReadOnlyKeysCannotWrite) {
    ZYMTEST_SKIP_UNDER_WINE("a registry handle's access rights are not checked");
    RegKey::Create(RegKey::CURRENT_USER, "Locked", RegKey::CREATE_READ_WRITE)
        ->CreateDWORDValue("v", 1);
    const auto key = RegKey::Create(RegKey::CURRENT_USER, "Locked", RegKey::OPEN_READ_ONLY);
    EXPECT_EQ(Catch([&] { key->CreateDWORDValue("v", 2); }).text,
              "Access is denied.: HKEY_CURRENT_USER\\Locked\\v");
    EXPECT_EQ(Catch([&] { key->DeleteValue("v"); }).text, "Access is denied.: v");
    EXPECT_TRUE(key->ValueExists("v"));
    EXPECT_EQ(key->GetDWORDValue("v").ReadDWORD(), 1u);
}

TEST_F(RegistryKey, ClassesRootIsMachineSoftwareClasses) {
    RegKey::Create("HKEY_CLASSES_ROOT\\.zym", RegKey::CREATE_READ_WRITE)
        ->CreateStringValue("", "ZymFile");
    const auto key =
        RegKey::Create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.zym", RegKey::OPEN_READ_ONLY);
    EXPECT_EQ(key->GetStringValue("").ReadString(), "ZymFile");
}
