#include "eventlog/EventLogPlatform.h"
#include "eventlog/posix/RecordFormat.h"

#include <Zym/Handle.h>
#include <Zym/LastError.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

constexpr const char* JOURNAL_SOCKET = "/run/systemd/journal/socket";
constexpr const char* SYSLOG_SOCKET = "/dev/log";

std::string SocketPath(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value && *value ? value : fallback;
}

// errno of a datagram send to `path`, 0 once sent. Never waits: a full
// receive queue is EAGAIN.
int SendTo(int fd, const std::string& path, const void* data, std::size_t size, msghdr* ancillary) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return ENAMETOOLONG;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    iovec part{const_cast<void*>(data), size};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (ancillary) {
        message.msg_control = ancillary->msg_control;
        message.msg_controllen = ancillary->msg_controllen;
    }
    while (::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

// A record too large for one datagram goes as a sealed memory file whose
// descriptor travels alone, which the journal reads in its place.
int SendAsMemoryFile(int fd, const std::string& path, const std::string& datagram) {
    Zym::Handle file(::memfd_create("zym-journal-record", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!file.IsValid())
        return errno;
    for (std::size_t done = 0; done < datagram.size();) {
        const ssize_t written = ::write(file.Get(), datagram.data() + done, datagram.size() - done);
        if (written < 0 && errno != EINTR)
            return errno;
        if (written > 0)
            done += static_cast<std::size_t>(written);
    }
    if (::fcntl(file.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) <
        0)
        return errno;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr ancillary{};
    ancillary.msg_control = control;
    ancillary.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&ancillary);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    const int descriptor = file.Get();
    std::memcpy(CMSG_DATA(header), &descriptor, sizeof descriptor);
    return SendTo(fd, path, nullptr, 0, &ancillary);
}

// The journal is absent when nothing listens at its socket path.
bool IsAbsent(int error) {
    return error == ENOENT || error == ECONNREFUSED || error == ENOTDIR || error == ENOTSOCK;
}

unsigned long Failed(int error) noexcept {
    return Zym::SetLastErrorFromErrno(error);
}

} // namespace

struct EventSource {
    std::string identifier;
    std::string journal;
    std::string syslog;
    Zym::Handle socket;
};

EventSource* RegisterEventSource(const std::string& name) noexcept try {
    auto* source = new EventSource{name, SocketPath("ZYM_JOURNAL_SOCKET", JOURNAL_SOCKET),
                                   SocketPath("ZYM_SYSLOG_SOCKET", SYSLOG_SOCKET), Zym::Handle()};
    source->socket.Reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!source->socket.IsValid()) {
        const int error = errno;
        delete source;
        Failed(error);
        return nullptr;
    }
    return source;
} catch (const std::bad_alloc&) {
    Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

unsigned long ReportEvent(EventSource* source, unsigned short type, unsigned short category,
                          unsigned long eventId, const std::string& text) noexcept try {
    if (!source) {
        Zym::SetLastError(Zym::ERROR_INVALID_HANDLE);
        return Zym::ERROR_INVALID_HANDLE;
    }
    const EventRecord record{source->identifier, type, category, eventId, text};
    const int fd = source->socket.Get();
    const std::string datagram = JournalDatagram(record);
    int error = SendTo(fd, source->journal, datagram.data(), datagram.size(), nullptr);
    if (error == EMSGSIZE || error == ENOBUFS)
        error = SendAsMemoryFile(fd, source->journal, datagram);
    if (IsAbsent(error)) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        const std::string line = SyslogLine(record, local, static_cast<long>(::getpid()));
        error = SendTo(fd, source->syslog, line.data(), line.size(), nullptr);
    }
    if (error != 0)
        return Failed(error);
    return Zym::ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
    Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_MEMORY);
    return Zym::ERROR_NOT_ENOUGH_MEMORY;
}

void DeregisterEventSource(EventSource* source) noexcept {
    delete source;
}

} // namespace ZymWindows::Platform
