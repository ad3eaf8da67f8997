#include "observer/ObserverPlatform.h"
#include "observer/posix/ObserverPosix.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ZymWindows::Platform {

bool CompletionPort::EnableWatch(DirectoryWatch& watch, bool enable) {
    if (watch.enabled == enable)
        return true;
    epoll_event event{};
    event.events = enable ? static_cast<std::uint32_t>(EPOLLIN) : 0;
    event.data.ptr = &watch;
    if (epoll_ctl(m_Epoll.Get(), EPOLL_CTL_MOD, watch.Descriptor(), &event) != 0) {
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    watch.enabled = enable;
    return true;
}

bool CompletionPort::Associate(DirectoryWatch& watch, void* key) {
    // Registered disabled: the descriptor produces packets only while a
    // read is armed.
    epoll_event event{};
    event.data.ptr = &watch;
    if (epoll_ctl(m_Epoll.Get(), EPOLL_CTL_ADD, watch.Descriptor(), &event) != 0) {
        Zym::SetLastErrorFromErrno(errno);
        return false;
    }
    watch.port = this;
    watch.key = key;
    return true;
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

bool CompletionPort::Arm(DirectoryWatch& watch) {
    watch.armed = true;
    if (watch.HasResult()) {
        std::lock_guard guard(m_Lock);
        m_Ready.push_back(&watch);
        return true;
    }
    if (!EnableWatch(watch, true)) {
        watch.armed = false;
        return false;
    }
    return true;
}

void CompletionPort::Disarm(DirectoryWatch& watch) {
    watch.armed = false;
    EnableWatch(watch, false);
    std::lock_guard guard(m_Lock);
    m_Ready.erase(std::remove(m_Ready.begin(), m_Ready.end(), &watch), m_Ready.end());
}

bool CompletionPort::Deliver(DirectoryWatch& watch, unsigned long& bytes, void*& key,
                             _OVERLAPPED*& overlapped, bool& ok) {
    if (!watch.armed) {
        // Left enabled after its last completion, in case the next read
        // came at once (it usually does); now it is not wanted.
        EnableWatch(watch, false);
        return false;
    }
    unsigned long error = 0;
    if (!watch.Complete(bytes, error)) {
        EnableWatch(watch, true);
        return false;
    }
    watch.armed = false;
    // A failed directory is not read again, and may be closed by another
    // thread: it must not stay in the set.
    if (error != 0)
        EnableWatch(watch, false);
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
        DirectoryWatch* ready = nullptr;
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
            if (!m_Ready.empty()) {
                ready = m_Ready.front();
                m_Ready.pop_front();
            }
        }
        bool ok = false;
        if (ready) {
            if (Deliver(*ready, bytes, key, overlapped, ok))
                return ok;
            continue;
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
        if (!event.data.ptr) {
            std::uint64_t posted = 0;
            if (read(m_Wake.Get(), &posted, sizeof posted) < 0 && errno != EAGAIN) {
                Zym::SetLastErrorFromErrno(errno);
                return false;
            }
            continue;
        }
        if (Deliver(*static_cast<DirectoryWatch*>(event.data.ptr), bytes, key, overlapped, ok))
            return ok;
    }
}

void* CreateIoCompletionPort(void* directory, void* port, void* key) {
    CompletionPort* created = nullptr;
    if (!port) {
        Zym::Handle epoll(epoll_create1(EPOLL_CLOEXEC));
        if (!epoll.IsValid()) {
            Zym::SetLastErrorFromErrno(errno);
            return nullptr;
        }
        Zym::Handle wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!wake.IsValid()) {
            Zym::SetLastErrorFromErrno(errno);
            return nullptr;
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.ptr = nullptr;
        if (epoll_ctl(epoll.Get(), EPOLL_CTL_ADD, wake.Get(), &event) != 0) {
            Zym::SetLastErrorFromErrno(errno);
            return nullptr;
        }
        created = new CompletionPort(std::move(epoll), std::move(wake));
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
    if (!watch.port)
        return true;
    const bool pending = watch.armed;
    watch.port->Disarm(watch);
    if (!pending)
        return true;
    return watch.port->Post(0, watch.key, watch.overlapped, Zym::ERROR_OPERATION_ABORTED);
}

void CloseDirectoryHandle(void* directory) noexcept {
    if (!directory || directory == InvalidDirectoryHandle())
        return;
    auto* watch = static_cast<DirectoryWatch*>(directory);
    if (watch->port)
        watch->port->Disarm(*watch);
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
