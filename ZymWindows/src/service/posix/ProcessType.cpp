#include "service/ServicePlatform.h"

#include <Zym/Handle.h>
#include <Zym/LastError.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// A process handle: the process's id and a descriptor that stays tied to
// that very process, to tell whether the id still names it.
struct ProcessHandle {
    pid_t id;
    Zym::Handle descriptor;
};

constexpr const char* NO_AUDIT_SESSION = "4294967295";

std::string ProcFile(pid_t id, const char* name) {
    std::ifstream in("/proc/" + std::to_string(id) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The process's place in the systemd tree: the named systemd hierarchy of
// cgroup v1 if there is one, else the unified (v2) one.
std::string SystemdCgroup(const std::string& cgroups) {
    std::string unified;
    std::istringstream lines(cgroups);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t named = line.find(":name=systemd:");
        if (named != std::string::npos)
            return line.substr(named + 14);
        if (line.rfind("0::", 0) == 0)
            unified = line.substr(3);
    }
    return unified;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string LastComponent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasInvocationId(pid_t id, bool self) {
    if (self)
        return std::getenv("INVOCATION_ID") != nullptr;
    // Another account's environment is not readable: then the cgroup alone
    // tells.
    const std::string environment = ProcFile(id, "environ");
    return environment.rfind("INVOCATION_ID=", 0) == 0 ||
           environment.find(std::string("\0INVOCATION_ID=", 15)) != std::string::npos;
}

// The controlling terminal is field 7 of stat, after the name in brackets
// (which may hold anything, brackets included).
bool HasControllingTerminal(const std::string& stat) {
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state, parent, group, session, terminal;
    fields >> state >> parent >> group >> session >> terminal;
    return !terminal.empty() && terminal != "0";
}

bool InLoginSession(pid_t id, const std::string& cgroup) {
    const std::string audit = ProcFile(id, "sessionid");
    if (!audit.empty() && audit != NO_AUDIT_SESSION)
        return true;
    const std::string last = LastComponent(cgroup);
    return last.rfind("session-", 0) == 0 && EndsWith(last, ".scope");
}

// Another account's process may not be signalled (EPERM), yet it runs.
bool StillRunning(const ProcessHandle& process) {
    return ::syscall(SYS_pidfd_send_signal, process.descriptor.Get(), 0, nullptr, 0) == 0 ||
           errno != ESRCH;
}

} // namespace

unsigned long QueryProcessType(void* process, Service::ProcessType& type) {
    const auto* handle = static_cast<const ProcessHandle*>(process);
    const pid_t id = handle ? handle->id : ::getpid();
    const std::string stat = ProcFile(id, "stat");
    const std::string cgroup = SystemdCgroup(ProcFile(id, "cgroup"));
    if (stat.empty() || (handle && !StillRunning(*handle))) {
        Zym::SetLastError(Zym::ERROR_INVALID_HANDLE);
        return Zym::ERROR_INVALID_HANDLE;
    }
    if (EndsWith(LastComponent(cgroup), ".service") || HasInvocationId(id, !handle))
        type = Service::SERVICE_PROCESS;
    else if (HasControllingTerminal(stat) || InLoginSession(id, cgroup))
        type = Service::INTERACTIVE_PROCESS;
    else
        type = Service::OTHER_PROCESS;
    return 0;
}

unsigned long OpenProcessHandle(unsigned long processId, void*& process) {
    const auto id = static_cast<pid_t>(processId);
    Zym::Handle descriptor(static_cast<int>(::syscall(SYS_pidfd_open, id, 0)));
    if (processId == 0 || !descriptor.IsValid()) {
        // OpenProcess names a process that does not exist so.
        Zym::SetLastError(Zym::ERROR_INVALID_PARAMETER);
        return Zym::ERROR_INVALID_PARAMETER;
    }
    process = new ProcessHandle{id, std::move(descriptor)};
    return 0;
}

void CloseProcessHandle(void* process) noexcept {
    delete static_cast<ProcessHandle*>(process);
}

} // namespace ZymWindows::Platform
