#include "PathText.h"
#include "UnitFile.h"
#include "service/ServicePlatform.h"

#include <Zym/ExecutablePath.h>
#include <Zym/Handle.h>
#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ZymWindows {

// The manager (no unit) or one service's unit in it.
struct ServiceControlHandle {
    std::string unitDirectory;
    std::string systemctl;
    std::string unit; // "NAME.service", empty for the manager itself
};

namespace Platform {

namespace {

constexpr const char* DEFAULT_UNIT_DIRECTORY = "/etc/systemd/system";

unsigned long Failure(unsigned long code) {
    Zym::SetLastError(code);
    return code;
}

std::string UnitPath(const ServiceControlHandle& handle) {
    return handle.unitDirectory + "/" + handle.unit;
}

// Runs systemctl with `arguments`; what it prints goes to `output` when
// given. RPC_S_SERVER_UNAVAILABLE when it cannot run or reports failure
// (the usual cause: no service manager runs).
unsigned long Systemctl(const ServiceControlHandle& handle, std::vector<std::string> arguments,
                        std::string* output = nullptr) {
    int pipe[2] = {-1, -1};
    if (output && ::pipe2(pipe, O_CLOEXEC) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    Zym::Handle readEnd(pipe[0]), writeEnd(pipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
    arguments.insert(arguments.begin(), handle.systemctl);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Close();
    if (spawned != 0)
        return Failure(Zym::RPC_S_SERVER_UNAVAILABLE);
    if (output) {
        char buffer[512];
        ssize_t n;
        while ((n = ::read(readEnd.Get(), buffer, sizeof buffer)) != 0) {
            if (n > 0)
                output->append(buffer, static_cast<std::size_t>(n));
            else if (errno != EINTR)
                break;
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return succeeded ? 0 : Failure(Zym::RPC_S_SERVER_UNAVAILABLE);
}

// The service's state from `systemctl is-active`, which fails (status 3)
// for every state but "active" and prints nothing when no manager runs.
unsigned long StateOf(const std::string& activeState, unsigned long& state) {
    const std::string word = activeState.substr(0, activeState.find('\n'));
    if (word == "active" || word == "reloading")
        state = SERVICE_RUNNING;
    else if (word == "activating")
        state = SERVICE_START_PENDING;
    else if (word == "deactivating")
        state = SERVICE_STOP_PENDING;
    else if (word == "inactive" || word == "failed" || word == "maintenance")
        state = SERVICE_STOPPED;
    else
        return Failure(Zym::RPC_S_SERVER_UNAVAILABLE);
    return 0;
}

unsigned long UnitName(const std::u16string& name, std::string& unit) {
    const std::string narrow = ZymCharset::ToUtf8(name);
    if (!IsValidUnitName(narrow))
        return Failure(Zym::ERROR_INVALID_NAME);
    unit = narrow + ".service";
    return 0;
}

// The names of a multi-string ("A\0B\0\0").
std::vector<std::string> Names(const char16_t* list) {
    std::vector<std::string> names;
    while (list && *list) {
        const std::u16string name(list);
        names.push_back(ZymCharset::ToUtf8(name));
        list += name.size() + 1;
    }
    return names;
}

unsigned long WriteNewFile(const std::string& path, const std::string& text) {
    const Zym::Handle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!file.IsValid())
        return errno == EEXIST ? Failure(Zym::ERROR_SERVICE_EXISTS)
                               : Zym::SetLastErrorFromErrno(errno);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(file.Get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::unlink(path.c_str());
            return Zym::SetLastErrorFromErrno(error);
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

unsigned long OpenServiceManager(SC_HANDLE& manager) {
    const char* directory = std::getenv("ZYM_SERVICE_DIR");
    const char* systemctl = std::getenv("ZYM_SYSTEMCTL");
    auto handle = std::make_unique<ServiceControlHandle>();
    handle->unitDirectory = directory && *directory ? directory : DEFAULT_UNIT_DIRECTORY;
    handle->systemctl = systemctl && *systemctl ? systemctl : "systemctl";
    struct stat info {};
    if (::stat(handle->unitDirectory.c_str(), &info) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    if (!S_ISDIR(info.st_mode))
        return Failure(Zym::ERROR_DIRECTORY);
    // Full access to the manager means changing its units.
    if (::access(handle->unitDirectory.c_str(), W_OK) != 0)
        return Failure(Zym::ERROR_ACCESS_DENIED);
    manager = handle.release();
    return 0;
}

unsigned long CreateServiceEntry(SC_HANDLE manager, const std::u16string& name,
                                 const std::u16string& displayName,
                                 const std::vector<std::u16string>& command,
                                 const char16_t* dependencies, SC_HANDLE& service) {
    if (!manager || !manager->unit.empty())
        return Failure(Zym::ERROR_INVALID_HANDLE);
    auto handle = std::make_unique<ServiceControlHandle>(*manager);
    if (const unsigned long error = UnitName(name, handle->unit))
        return error;
    std::vector<std::string> words;
    for (const std::u16string& word : command)
        words.push_back(TextToPath(word));
    std::string unit;
    if (!FormatServiceUnit(ZymCharset::ToUtf8(displayName), words, Names(dependencies), unit))
        return Failure(Zym::ERROR_INVALID_PARAMETER);
    const std::string path = UnitPath(*handle);
    if (const unsigned long error = WriteNewFile(path, unit))
        return error;
    if (const unsigned long error = Systemctl(*handle, {"daemon-reload"})) {
        // The manager never saw the unit; leave nothing half-installed.
        ::unlink(path.c_str());
        return Failure(error);
    }
    service = handle.release();
    return 0;
}

unsigned long OpenServiceEntry(SC_HANDLE manager, const std::u16string& name, SC_HANDLE& service) {
    if (!manager || !manager->unit.empty())
        return Failure(Zym::ERROR_INVALID_HANDLE);
    auto handle = std::make_unique<ServiceControlHandle>(*manager);
    if (const unsigned long error = UnitName(name, handle->unit))
        return error;
    struct stat info {};
    if (::lstat(UnitPath(*handle).c_str(), &info) != 0) {
        if (errno == ENOENT)
            return Failure(Zym::ERROR_SERVICE_DOES_NOT_EXIST);
        return Zym::SetLastErrorFromErrno(errno);
    }
    service = handle.release();
    return 0;
}

unsigned long QueryServiceState(SC_HANDLE service, unsigned long& state) {
    if (!service || service->unit.empty())
        return Failure(Zym::ERROR_INVALID_HANDLE);
    std::string output;
    // The exit status only says whether the unit is active; the word says
    // what it is doing.
    Systemctl(*service, {"is-active", service->unit}, &output);
    return StateOf(output, state);
}

unsigned long RequestServiceStop(SC_HANDLE service) {
    if (!service || service->unit.empty())
        return Failure(Zym::ERROR_INVALID_HANDLE);
    return Systemctl(*service, {"stop", "--no-block", service->unit});
}

unsigned long DeleteServiceEntry(SC_HANDLE service) {
    if (!service || service->unit.empty())
        return Failure(Zym::ERROR_INVALID_HANDLE);
    // The unit goes aside (a name the manager does not read) while the
    // manager reloads, and only then for good: a reload that fails leaves
    // the unit where it was, still registered.
    const std::string path = UnitPath(*service);
    const std::string aside = path + ".deleting";
    if (::rename(path.c_str(), aside.c_str()) != 0)
        return errno == ENOENT ? Failure(Zym::ERROR_SERVICE_MARKED_FOR_DELETE)
                               : Zym::SetLastErrorFromErrno(errno);
    if (const unsigned long error = Systemctl(*service, {"daemon-reload"})) {
        ::rename(aside.c_str(), path.c_str());
        return Failure(error);
    }
    ::unlink(aside.c_str());
    return 0;
}

void CloseServiceHandle(SC_HANDLE handle) noexcept {
    delete handle;
}

unsigned long GetProgramPath(std::u16string& path) {
    std::string narrow;
    if (!Zym::GetExecutablePath(narrow))
        return Zym::GetLastError();
    path = PathToText(narrow);
    return 0;
}

} // namespace Platform

} // namespace ZymWindows
