#pragma once

#include "TestFiles.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace impersonationtest {

// A real local account, made with useradd and chpasswd for one test and
// removed with userdel afterwards. Names are unique per process and
// account, so that parallel runs do not meet. Raises when the account
// cannot be made: without it the test cannot run.
class TestAccount {
public:
    TestAccount();
    ~TestAccount();
    TestAccount(const TestAccount&) = delete;
    TestAccount& operator=(const TestAccount&) = delete;

    const std::string& Name() const { return m_Name; }
    std::u16string WideName() const;
    const std::u16string& Password() const { return m_Password; }
    uid_t Uid() const { return m_Uid; }

    // Runs chage with `options` on the account.
    void Chage(const std::vector<std::string>& options) const;

private:
    std::string m_Name;
    std::u16string m_Password;
    uid_t m_Uid = 0;
};

// Every test account's primary group, and the group it is put in besides.
inline constexpr gid_t PRIMARY_GROUP = 100; // "users"
inline constexpr gid_t EXTRA_GROUP = 50;    // "staff"

// Makes sure /etc/pam.d holds the library's zymwindows service, as
// `cmake --install` puts it there; raises when it cannot.
void InstallPamService();

// A scratch directory that every account may use, named in ZYM_PIPE_DIR
// too, so that impersonating threads can create files and reach pipes.
class SharedDirectory {
public:
    SharedDirectory();
    const std::filesystem::path& Path() const { return m_Directory.Path(); }

private:
    zymtest::ScratchDirectory m_Directory;
};

// The owner of a file.
uid_t OwnerOf(const std::filesystem::path& path);

// Creates a file as whoever the calling thread acts as, and returns its owner.
uid_t CreateAndOwner(const std::filesystem::path& path);

} // namespace impersonationtest
