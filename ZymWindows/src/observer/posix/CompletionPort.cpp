#include "observer/ObserverPlatform.h"
#include "observer/posix/ObserverPosix.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// epoll data of the two descriptors of a port.
constexpr std::uint64_t WAKE = 0;
constexpr std::uint64_t CHANGES = 1;

bool AddToEpoll(int epoll, int fd, std::uint64_t tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = tag;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

} // namespace

CompletionPort* CompletionPort::Create() {
    Zym::Handle epoll(epoll_create1(EPOLL_CLOEXEC));
    Zym::Handle wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    Zym::Handle inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!epoll.IsValid() || !wake.IsValid() || !inotify.IsValid() ||
        !AddToEpoll(epoll.Get(), wake.Get(), WAKE) ||
        !AddToEpoll(epoll.Get(), inotify.Get(), CHANGES)) {
        Zym::SetLastErrorFromErrno(errno);
        return nullptr;
    }
    return new CompletionPort(std::move(epoll), std::move(wake), std::move(inotify));
}

bool CompletionPort::Post(unsigned long bytes, void* key, _OVERLAPPED* overlapped,
                          unsigned long error) {
    {
        std::lock_guard guard(m_Lock);
        m_Posted.push_back(Packet{bytes, key, overlapped, error});
    }
    const std::uint64_t one = 1;
    if (write(m_Wake.Get(), &one, sizeof one) != sizeof one && errno != EAGAIN) {
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

void CompletionPort::QueueReady(DirectoryWatch& watch) {
    if (std::find(m_Ready.begin(), m_Ready.end(), &watch) == m_Ready.end())
        m_Ready.push_back(&watch);
}

bool CompletionPort::Arm(DirectoryWatch& watch) {
    std::lock_guard guard(m_Lock);
    watch.armed = true;
    if (watch.HasResult())
        QueueReady(watch);
    return true;
}

bool CompletionPort::Disarm(DirectoryWatch& watch) {
    std::lock_guard guard(m_Lock);
    const bool armed = std::exchange(watch.armed, false);
    m_Ready.erase(std::remove(m_Ready.begin(), m_Ready.end(), &watch), m_Ready.end());
    return armed;
}

bool CompletionPort::Deliver(DirectoryWatch& watch, unsigned long& bytes, void*& key,
                             _OVERLAPPED*& overlapped, bool& ok) {
    unsigned long error = 0;
    if (!watch.armed || !watch.Complete(bytes, error))
        return false;
    watch.armed = false;
    key = watch.key;
    overlapped = watch.overlapped;
    ok = error == 0;
    Zym::SetLastError(error);
    return true;
}

bool CompletionPort::Get(unsigned long& bytes, void*& key, _OVERLAPPED*& overlapped) {
    key = nullptr;
    overlapped = nullptr;
    bytes = 0;
    for (;;) {
        {
            std::lock_guard guard(m_Lock);
            if (!m_Posted.empty()) {
                const Packet packet = m_Posted.front();
                m_Posted.pop_front();
                bytes = packet.bytes;
                key = packet.key;
                overlapped = packet.overlapped;
                Zym::SetLastError(packet.error);
                return packet.error == 0;
            }
            bool ok = false;
            while (!m_Ready.empty()) {
                DirectoryWatch& ready = *m_Ready.front();
                m_Ready.pop_front();
                if (Deliver(ready, bytes, key, overlapped, ok))
                    return ok;
            }
        }
        epoll_event event{};
        const int count = epoll_wait(m_Epoll.Get(), &event, 1, -1);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            Zym::SetLastErrorFromErrno(errno);
            return false;
        }
        if (count == 0)
            continue;
        if (event.data.u64 == WAKE) {
            std::uint64_t posted = 0;
            if (read(m_Wake.Get(), &posted, sizeof posted) < 0 && errno != EAGAIN) {
                Zym::SetLastErrorFromErrno(errno);
                return false;
            }
            continue;
        }
        if (!ReadEvents())
            return false;
    }
}

void* CreateIoCompletionPort(void* directory, void* port, void* key) {
    CompletionPort* created = nullptr;
    if (!port) {
        created = CompletionPort::Create();
        if (!created)
            return nullptr;
        port = created;
    }
    if (directory && directory != InvalidDirectoryHandle() &&
        !static_cast<CompletionPort*>(port)->Associate(*static_cast<DirectoryWatch*>(directory),
                                                       key)) {
        const unsigned long error = Zym::GetLastError();
        delete created;
        Zym::SetLastError(error);
        return nullptr;
    }
    return port;
}

bool PostQueuedCompletionStatus(void* port, unsigned long bytes, void* key,
                                _OVERLAPPED* overlapped) {
    return static_cast<CompletionPort*>(port)->Post(bytes, key, overlapped, 0);
}

bool GetQueuedCompletionStatus(void* port, unsigned long& bytes, void*& key,
                               _OVERLAPPED*& overlapped) {
    return static_cast<CompletionPort*>(port)->Get(bytes, key, overlapped);
}

void CloseCompletionPort(void* port) noexcept {
    delete static_cast<CompletionPort*>(port);
}

bool ReadDirectoryChanges(void* directory, char* buffer, unsigned long size, bool,
                          unsigned long filter, _OVERLAPPED* overlapped) {
    if (!directory || directory == InvalidDirectoryHandle()) {
        Zym::SetLastError(Zym::ERROR_INVALID_HANDLE);
        return false;
    }
    auto& watch = *static_cast<DirectoryWatch*>(directory);
    if (!watch.port || watch.armed || !buffer || size == 0) {
        Zym::SetLastError(Zym::ERROR_INVALID_PARAMETER);
        return false;
    }
    watch.buffer = buffer;
    watch.size = size;
    watch.filter = filter;
    watch.overlapped = overlapped;
    return watch.port->Arm(watch);
}

bool CancelIo(void* directory) {
    if (!directory || directory == InvalidDirectoryHandle()) {
        Zym::SetLastError(Zym::ERROR_INVALID_HANDLE);
        return false;
    }
    auto& watch = *static_cast<DirectoryWatch*>(directory);
    if (!watch.port || !watch.port->Disarm(watch))
        return true;
    return watch.port->Post(0, watch.key, watch.overlapped, Zym::ERROR_OPERATION_ABORTED);
}

void CloseDirectoryHandle(void* directory) noexcept {
    if (!directory || directory == InvalidDirectoryHandle())
        return;
    auto* watch = static_cast<DirectoryWatch*>(directory);
    if (watch->port)
        watch->port->Forget(*watch);
    delete watch;
}

_OVERLAPPED* NewOverlapped() {
    return new _OVERLAPPED{};
}

void ClearOverlapped(_OVERLAPPED* overlapped) noexcept {
    if (overlapped)
        *overlapped = _OVERLAPPED{};
}

void DeleteOverlapped(_OVERLAPPED* overlapped) noexcept {
    delete overlapped;
}

} // namespace ZymWindows::Platform
