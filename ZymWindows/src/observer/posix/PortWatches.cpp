#include "observer/posix/ObserverPosix.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <sys/inotify.h>
#include <unistd.h>

namespace ZymWindows::Platform {

bool CompletionPort::Associate(DirectoryWatch& watch, void* key) {
    std::lock_guard guard(m_Lock);
    watch.port = this;
    watch.key = key;
    m_Associated.push_back(&watch);
    if (watch.Start())
        return true;
    const unsigned long error = Zym::GetLastError();
    Forget(watch);
    Zym::SetLastError(error);
    return false;
}

void CompletionPort::Forget(DirectoryWatch& watch) {
    std::lock_guard guard(m_Lock);
    Disarm(watch);
    for (const int wd : watch.Descriptors())
        RemoveWatch(watch, wd);
    for (auto* list : {&m_Associated, &m_Moving})
        list->erase(std::remove(list->begin(), list->end(), &watch), list->end());
    watch.port = nullptr;
}

int CompletionPort::AddWatch(DirectoryWatch& watch, const std::string& path, std::uint32_t mask) {
    const int wd = inotify_add_watch(m_Inotify.Get(), path.c_str(), mask);
    if (wd < 0)
        return -1;
    auto& users = m_Users[wd];
    if (std::find(users.begin(), users.end(), &watch) == users.end())
        users.push_back(&watch);
    return wd;
}

void CompletionPort::RemoveWatch(DirectoryWatch& watch, int wd) {
    const auto found = m_Users.find(wd);
    if (found == m_Users.end())
        return;
    auto& users = found->second;
    users.erase(std::remove(users.begin(), users.end(), &watch), users.end());
    if (users.empty()) {
        // Its IN_IGNORED comes later and finds no user.
        inotify_rm_watch(m_Inotify.Get(), wd);
        m_Users.erase(found);
    }
}

void CompletionPort::NoteMove(DirectoryWatch& watch) {
    if (std::find(m_Moving.begin(), m_Moving.end(), &watch) == m_Moving.end())
        m_Moving.push_back(&watch);
}

void CompletionPort::Dispatch(int wd, std::uint32_t mask, std::uint32_t cookie, const char* name) {
    // Only the event right behind a rename can be its new name.
    for (DirectoryWatch* watch : std::exchange(m_Moving, {}))
        watch->SettleMoves(wd, mask, cookie);
    std::vector<DirectoryWatch*> users;
    if (mask & IN_Q_OVERFLOW) {
        users = m_Associated;
    } else {
        const auto found = m_Users.find(wd);
        if (found == m_Users.end())
            return;
        users = found->second;
        // The kernel has dropped the watch for all its users.
        if (mask & IN_IGNORED)
            m_Users.erase(found);
    }
    for (DirectoryWatch* watch : users) {
        if (mask & IN_Q_OVERFLOW)
            watch->Overflowed();
        else
            watch->HandleEvent(wd, mask, cookie, name);
        if (watch->armed && watch->HasResult())
            QueueReady(*watch);
    }
}

bool CompletionPort::ReadEvents() {
    std::lock_guard guard(m_Lock);
    // Whole events only: the kernel never splits one across reads.
    alignas(inotify_event) char raw[16384];
    for (;;) {
        const ssize_t got = read(m_Inotify.Get(), raw, sizeof raw);
        if (got < 0 && errno == EINTR)
            continue;
        // The kernel hands out queued events while they fit: room left for
        // the largest event means the queue was empty, as EAGAIN would say,
        // without another read to be told so. That says nothing of the
        // events queued while this read's new directories were listed: then
        // the next read must say it.
        bool drained = got < 0 && errno == EAGAIN;
        if (got < 0 && !drained) {
            Zym::SetLastErrorFromErrno(errno);
            return false;
        }
        m_Listed = false;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(raw + offset);
            Dispatch(event->wd, event->mask, event->cookie, event->len ? event->name : nullptr);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        drained =
            drained ||
            (static_cast<std::size_t>(got) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof raw &&
             !m_Listed);
        if (drained) {
            m_Moving.clear();
            for (DirectoryWatch* watch : m_Associated)
                watch->Drained();
            return true;
        }
        // Reads that are ready go first; the rest of the queue waits.
        if (!m_Ready.empty())
            return true;
    }
}

} // namespace ZymWindows::Platform
