#include "TestFiles.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>
#include <ZymWindows/Uuid.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <type_traits>

using ZymWindows::RegKey;
using ZymWindows::Uuid;

namespace {

constexpr const char* TEXT = "3f2504e0-4f89-11d3-9a0c-0305e82c3301";

// ProgIDs registered for one test, gone after it. On Linux they live in a
// store of their own; on Windows in the system's registry.
class ProgIds {
public:
    ~ProgIds() {
        for (const auto& progId : m_Registered)
            RegKey::Create(RegKey::LOCAL_MACHINE, "SOFTWARE\\Classes\\" + progId,
                           RegKey::OPEN_READ_WRITE)
                ->Delete();
    }

    RegKey::Ptr Register(const std::string& progId) {
        m_Registered.push_back(progId);
        return RegKey::Create(RegKey::LOCAL_MACHINE, "SOFTWARE\\Classes\\" + progId + "\\CLSID",
                              RegKey::CREATE_READ_WRITE);
    }
    void Register(const std::string& progId, const std::string& clsid) {
        Register(progId)->CreateStringValue("", clsid);
    }

private:
#ifndef _WIN32
    zymtest::ScratchDirectory m_Directory;
    zymtest::ScopedEnvironment m_Named{"ZYM_REGISTRY_DIR", m_Directory.Path().string()};
#endif
    std::vector<std::string> m_Registered;
};

} // namespace

TEST(Uuid, TextFormAndFields) {
    EXPECT_EQ(Uuid().AsString(), "00000000-0000-0000-0000-000000000000");
    const Uuid parsed{std::string(TEXT)};
    using Fields = std::decay_t<decltype(parsed.GetUUID())>;
    EXPECT_TRUE(
        parsed.GetUUID() ==
        (Fields{0x3f2504e0, 0x4f89, 0x11d3, {0x9a, 0x0c, 0x03, 0x05, 0xe8, 0x2c, 0x33, 0x01}}));
    EXPECT_EQ(parsed.AsString(), TEXT);
    EXPECT_EQ(parsed.AsWString(), u"3f2504e0-4f89-11d3-9a0c-0305e82c3301");
    EXPECT_TRUE(Uuid(std::string("3F2504E0-4F89-11D3-9A0C-0305E82C3301")) == parsed);
    EXPECT_TRUE(Uuid(std::u16string(u"3F2504E0-4F89-11D3-9A0C-0305E82C3301")) == parsed);
    EXPECT_TRUE(Uuid(parsed.GetUUID()) == parsed);
    // Text ends at its first NUL, as in a zero-terminated copy.
    EXPECT_TRUE(Uuid(std::string(TEXT) + std::string("\0trailing", 9)) == parsed);
    EXPECT_THROW(Uuid(std::string("\0", 1) + TEXT), ZymWindows::WindowsInvalidUUIDStringException);
}

TEST(Uuid, GeneratedValuesAreRandomVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const Uuid uuid = Uuid::Generate();
        EXPECT_EQ(uuid.GetUUID().Data3 >> 12, 4);
        EXPECT_EQ(uuid.GetUUID().Data4[0] >> 6, 2);
        seen.insert(uuid.AsString());
        EXPECT_TRUE(Uuid(uuid.AsString()) == uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Uuid, ProgIdsResolveThroughTheRegistry) {
    ProgIds progIds;
    progIds.Register("Zym.Good", "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}");
    // The characters around the identifier are not examined.
    progIds.Register("Zym.Odd", "<3f2504e0-4f89-11d3-9a0c-0305e82c3301>");
    progIds.Register("Zym.Short", "3f2504e0-4f89-11d3-9a0c-0305e82c3301");
    progIds.Register("Zym.Bad", "{3f2504e0-4f89-11d3-9a0c-0305e82c33zz}");
    progIds.Register("Zym.Number")->CreateDWORDValue("", 1);

    EXPECT_EQ(Uuid(std::string("Zym.Good")).AsString(), TEXT);
    EXPECT_EQ(Uuid(std::u16string(u"zym.good")).AsString(), TEXT);
    EXPECT_EQ(Uuid(std::string("Zym.Odd")).AsString(), TEXT);
    EXPECT_EQ(Uuid(std::string("Zym.Good\0.Other", 15)).AsString(), TEXT);
    for (const char* text :
         {"", "Zym.Short", "Zym.Bad", "Zym.Number", "Zym.Unknown",
          "{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", "3f2504e0-4f89-11d3-9a0c-0305e82c330",
          "3f2504e0+4f89-11d3-9a0c-0305e82c3301"}) {
        EXPECT_THROW(Uuid{std::string(text)}, ZymWindows::WindowsInvalidUUIDStringException)
            << text;
    }
}
