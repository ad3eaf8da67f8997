// The Linux store's own mechanisms: one database file shared by processes.
#include "../TempStore.h"
#include "Child.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <set>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

using RegistryTest::Catch;
using zymtest::Child;
using ZymWindows::RegKey;

namespace {

class RegistryProcesses : public ::testing::Test {
protected:
    RegistryTest::TempStore m_Store;
};

std::string ValueName(int writer, std::uint32_t n) {
    return "w" + std::to_string(writer) + "-" + std::to_string(n);
}

// Opens the store's database directly and returns the single text result.
std::string QueryText(const std::filesystem::path& file, const char* sql) {
    sqlite3* db = nullptr;
    std::string result = "no result";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            const int rc = sqlite3_step(statement);
            if (rc == SQLITE_ROW)
                result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            else if (rc == SQLITE_DONE)
                result = "";
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

} // namespace

TEST_F(RegistryProcesses, SeveralWritersShareOneStore) {
    constexpr int WRITERS = 4;
    constexpr std::uint32_t EACH = 150;
    // The parent's connection and cached listing exist before the fork.
    const auto key = RegKey::Create(RegKey::CURRENT_USER, "Shared", RegKey::CREATE_READ_WRITE);
    std::vector<std::string> names;
    key->GetValuesNames(names);
    ASSERT_TRUE(names.empty());

    std::vector<Child> children;
    for (int writer = 0; writer < WRITERS; ++writer) {
        children.push_back(Child::Fork([writer, &key] {
            // Both a handle inherited over fork() and a fresh one work.
            RegKey::Create(key, "by" + std::to_string(writer), RegKey::CREATE_READ_WRITE);
            const auto own =
                RegKey::Create(RegKey::CURRENT_USER, "Shared", RegKey::OPEN_READ_WRITE);
            for (std::uint32_t n = 0; n < EACH; ++n)
                (n % 2 ? own : key)->CreateDWORDValue(ValueName(writer, n), n);
            return 0;
        }));
    }
    for (Child& child : children)
        EXPECT_EQ(child.Wait().status, 0);

    key->GetValuesNames(names);
    EXPECT_EQ(names.size(), WRITERS * EACH);
    for (int writer = 0; writer < WRITERS; ++writer) {
        for (std::uint32_t n = 0; n < EACH; ++n)
            EXPECT_EQ(key->GetDWORDValue(ValueName(writer, n)).ReadDWORD(), n);
    }
    std::vector<std::string> subKeys;
    key->GetSubKeysNames(subKeys);
    EXPECT_EQ(subKeys.size(), static_cast<std::size_t>(WRITERS));
}

TEST_F(RegistryProcesses, KilledWritersLoseNoAcknowledgedWrite) {
    constexpr int ROUNDS = 8;
    std::set<std::uint32_t> acknowledged[ROUNDS];
    for (int round = 0; round < ROUNDS; ++round) {
        int acks[2];
        ASSERT_EQ(::pipe(acks), 0);
        Child child = Child::Fork([&] {
            ::close(acks[0]);
            const auto key =
                RegKey::Create(RegKey::CURRENT_USER, "Crash\\r" + std::to_string(round),
                               RegKey::CREATE_READ_WRITE);
            for (std::uint32_t n = 0;; ++n) {
                key->CreateDWORDValue(ValueName(round, n), n);
                if (n % 4 == 0)
                    RegKey::Create(key, "k" + std::to_string(n), RegKey::CREATE_READ_WRITE);
                if (::write(acks[1], &n, sizeof n) != sizeof n)
                    return 0;
            }
        });
        ::close(acks[1]);
        // Kill at a different point of the write loop each round.
        const std::uint32_t killAfter = 10 + 17 * round;
        std::uint32_t n = 0;
        while (acknowledged[round].size() < killAfter && ::read(acks[0], &n, sizeof n) == sizeof n)
            acknowledged[round].insert(n);
        child.Stop(SIGKILL);
        while (::read(acks[0], &n, sizeof n) == sizeof n)
            acknowledged[round].insert(n);
        ::close(acks[0]);
        ASSERT_GE(acknowledged[round].size(), killAfter);
    }

    const auto file = m_Store.File("HKEY_CURRENT_USER.db");
    EXPECT_EQ(QueryText(file, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(QueryText(file, "PRAGMA foreign_key_check"), "");
    for (int round = 0; round < ROUNDS; ++round) {
        const auto key = RegKey::Create(RegKey::CURRENT_USER, "Crash\\r" + std::to_string(round),
                                        RegKey::OPEN_READ_ONLY);
        for (const std::uint32_t n : acknowledged[round]) {
            EXPECT_EQ(key->GetDWORDValue(ValueName(round, n)).ReadDWORD(), n);
            if (n % 4 == 0) {
                EXPECT_NO_THROW(
                    RegKey::Create(key, "k" + std::to_string(n), RegKey::OPEN_READ_ONLY));
            }
        }
    }
}

TEST_F(RegistryProcesses, OpenHandlesSeeOtherProcessesChanges) {
    const auto key = RegKey::Create(RegKey::CURRENT_USER, "Watched", RegKey::CREATE_READ_WRITE);
    RegKey::Create(key, "first", RegKey::CREATE_READ_WRITE);
    std::vector<std::string> names;
    key->GetSubKeysNames(names);
    ASSERT_EQ(names.size(), 1u);

    const auto run = RegistryTest::Zymwin({"reg", "add", "HKCU\\Watched\\second"});
    ASSERT_EQ(run.status, 0) << run.err;
    names.clear();
    key->GetSubKeysNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"second", "first"}));

    ASSERT_EQ(RegistryTest::Zymwin({"reg", "delete", "HKCU\\Watched", "/f"}).status, 0);
    EXPECT_THROW(key->GetSubKeysNames(names), ZymWindows::RegistryException);
}

// A store that cannot be made is access denied; a damaged one is reported
// as damaged to writers and readers alike, never as a missing key, and
// nothing of it is overwritten. A folder the account may not enter is
// access denied.
TEST_F(RegistryProcesses, UnusableStoresFailWithAnErrorAndLoseNothing) {
    RegistryTest::WriteFile(m_Store.File("plain-file"), "not a folder");
    ::setenv("ZYM_REGISTRY_DIR", m_Store.File("plain-file/registry").c_str(), 1);
    EXPECT_EQ(Catch([] {
                  RegKey::Create(RegKey::CURRENT_USER, "Anything", RegKey::CREATE_READ_WRITE);
              }).text,
              "Access is denied.: HKEY_CURRENT_USER\\Anything");

    const auto garbage = m_Store.Dir() / "garbage";
    std::filesystem::create_directory(garbage);
    RegistryTest::WriteFile(garbage / "HKEY_CURRENT_USER.db", std::string(4096, 'x'));
    ::setenv("ZYM_REGISTRY_DIR", garbage.c_str(), 1);
    for (const auto mode : {RegKey::CREATE_READ_WRITE, RegKey::OPEN_READ_ONLY}) {
        const std::string corrupted =
            Catch([mode] { RegKey::Create(RegKey::CURRENT_USER, "Software", mode); }).text;
        EXPECT_EQ(corrupted.rfind("The registry is corrupted.", 0), 0u) << corrupted;
    }
    const auto query = RegistryTest::Zymwin({"reg", "query", "HKCU\\Software"});
    EXPECT_EQ(query.status, 1);
    EXPECT_EQ(query.err.rfind("zymwin reg: The registry is corrupted.", 0), 0u) << query.err;
    EXPECT_EQ(RegistryTest::ReadFile(garbage / "HKEY_CURRENT_USER.db"), std::string(4096, 'x'));

    ASSERT_EQ(::geteuid(), 0u) << "needs root to read the store as another account";
    const auto closed = m_Store.Dir() / "closed";
    std::filesystem::create_directory(closed);
    std::filesystem::permissions(closed, std::filesystem::perms::none);
    ::setenv("ZYM_REGISTRY_DIR", closed.c_str(), 1);
    Child reader = Child::Fork([]() -> int {
        constexpr uid_t NOBODY = 65534;
        if (::setresgid(NOBODY, NOBODY, NOBODY) != 0 || ::setresuid(NOBODY, NOBODY, NOBODY) != 0)
            ::_exit(2);
        try {
            RegKey::Create(RegKey::CURRENT_USER, "Software", RegKey::OPEN_READ_ONLY);
        } catch (const ZymWindows::RegistryException& error) {
            ::_exit(error.WhatUtf8() == "Access is denied.: HKEY_CURRENT_USER\\Software" ? 0 : 3);
        }
        ::_exit(4);
    });
    EXPECT_EQ(reader.Wait().status, 0);
}
