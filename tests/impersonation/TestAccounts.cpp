#include "TestAccounts.h"

#include <ZymCharset/Utf.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <stdexcept>

namespace impersonationtest {

namespace {

const std::filesystem::path SERVICE_SOURCE = std::filesystem::path(__FILE__).parent_path() /
                                             "../../ZymWindows/src/impersonation/posix/"
                                             "zymwindows.pam";
const std::filesystem::path SERVICE_FILE = "/etc/pam.d/zymwindows";

void Run(const std::vector<std::string>& argv, const std::string& input = "") {
    const zymtest::ProcessResult result = zymtest::RunProcess(argv, input);
    if (result.status != 0)
        throw std::runtime_error(argv[0] + " failed (" + std::to_string(result.status) +
                                 "): " + result.err);
}

constexpr const char* NAME_PREFIX = "zymimp";

std::string UniqueName() {
    static std::atomic<int> counter{0};
    return NAME_PREFIX + std::to_string(getpid()) + "x" + std::to_string(counter++);
}

// A run that crashed or was killed left its accounts behind; their names
// hold the pid of a process that no longer exists.
void RemoveAbandonedAccounts() {
    std::vector<std::string> abandoned;
    if (std::FILE* accounts = std::fopen("/etc/passwd", "r")) {
        while (const passwd* entry = fgetpwent(accounts)) {
            const std::string name = entry->pw_name;
            if (!name.starts_with(NAME_PREFIX))
                continue;
            const pid_t owner = std::atoi(name.c_str() + std::strlen(NAME_PREFIX));
            if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH)
                abandoned.push_back(name);
        }
        std::fclose(accounts);
    }
    for (const std::string& name : abandoned)
        zymtest::RunProcess({"userdel", name});
}

std::string RandomPassword() {
    std::random_device random;
    return "Pw-" + std::to_string(random()) + "-" + std::to_string(random());
}

} // namespace

TestAccount::TestAccount() : m_Name(UniqueName()) {
    static std::once_flag cleaned;
    std::call_once(cleaned, RemoveAbandonedAccounts);
    // A primary group whose number is not the user's, so that a mix-up of
    // the two shows.
    Run({"useradd", "-M", "-s", "/usr/sbin/nologin", "-N", "-g", "users", "-G", "staff", m_Name});
    const std::string password = RandomPassword();
    try {
        Run({"chpasswd"}, m_Name + ":" + password + "\n");
        const passwd* entry = getpwnam(m_Name.c_str());
        if (!entry)
            throw std::runtime_error("useradd made no account " + m_Name);
        m_Uid = entry->pw_uid;
    } catch (...) {
        zymtest::RunProcess({"userdel", m_Name});
        throw;
    }
    m_Password = ZymCharset::FromUtf8(password);
}

TestAccount::~TestAccount() {
    zymtest::RunProcess({"userdel", m_Name});
}

std::u16string TestAccount::WideName() const {
    return ZymCharset::FromUtf8(m_Name);
}

void TestAccount::Chage(const std::vector<std::string>& options) const {
    std::vector<std::string> argv{"chage"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(m_Name);
    Run(argv);
}

void InstallPamService() {
    const std::string wanted = zymtest::ReadFile(SERVICE_SOURCE);
    if (wanted.empty())
        throw std::runtime_error("cannot read " + SERVICE_SOURCE.string());
    if (zymtest::ReadFile(SERVICE_FILE) == wanted)
        return;
    // Written aside and renamed, so that a parallel run never reads half a file.
    const std::filesystem::path aside =
        SERVICE_FILE.parent_path() / (".zymwindows." + std::to_string(getpid()));
    zymtest::WriteFile(aside, wanted);
    std::filesystem::rename(aside, SERVICE_FILE);
}

SharedDirectory::SharedDirectory() {
    std::filesystem::permissions(m_Directory.Path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    setenv("ZYM_PIPE_DIR", (m_Directory.Path() / "pipes").c_str(), 1);
}

uid_t OwnerOf(const std::filesystem::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path.string());
    return status.st_uid;
}

uid_t CreateAndOwner(const std::filesystem::path& path) {
    if (!std::ofstream(path))
        throw std::runtime_error("cannot create " + path.string());
    return OwnerOf(path);
}

} // namespace impersonationtest
