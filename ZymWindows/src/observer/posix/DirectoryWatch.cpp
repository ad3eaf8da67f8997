#include "observer/NotifyRecords.h"
#include "observer/ObserverPlatform.h"
#include "observer/posix/ObserverPosix.h"

#include <ZymCharset/Utf.h>

#include <Zym/LastError.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

namespace ZymWindows::Platform {

namespace {

using NotifyRecords::Action;

// Name changes (file and directory names), attribute and security changes,
// writes; the directory's own end (deleted, moved, unmounted) comes anyway.
constexpr std::uint32_t WATCH_MASK = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                     IN_ONLYDIR;
// More waiting changes than this (a huge new tree) are dropped as lost.
constexpr std::size_t MAX_PENDING = 1 << 17;
constexpr unsigned long NAME_CHANGES = 0x1 | 0x2; // FILE_NAME, DIR_NAME
constexpr unsigned long CONTENT_CHANGES =
    0x4 | 0x8 | 0x10 | 0x100; // ATTRIBUTES, SIZE, LAST_WRITE, SECURITY

std::string Parent(const std::string& path) {
    std::string parent = path;
    while (parent.size() > 1 && parent.back() == '/')
        parent.pop_back();
    const auto slash = parent.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : parent.substr(0, slash);
}

// The Win32 error of a failed open of the directory `path`.
unsigned long OpenError(int err, const std::string& path) {
    switch (err) {
    case ENOENT: {
        // Windows tells a missing directory (2) from a missing path to it (3).
        struct stat parent;
        return stat(Parent(path).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode)
                   ? Zym::ERROR_FILE_NOT_FOUND
                   : Zym::ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
        return Zym::ERROR_PATH_NOT_FOUND;
    case ENOSPC: // inotify: no watch left for this user
        return Zym::ERROR_NO_SYSTEM_RESOURCES;
    default:
        return Zym::Win32ErrorFromErrno(err);
    }
}

bool IsMountRoot(const std::string& path, const struct statx& self) {
    if (self.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (self.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    struct stat parent;
    if (stat((path + "/..").c_str(), &parent) != 0)
        return false;
    return parent.st_dev != makedev(self.stx_dev_major, self.stx_dev_minor) ||
           parent.st_ino == self.stx_ino;
}

bool StartsWithDirectory(const std::string& path, const std::string& directory) {
    return path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
           path[directory.size()] == '/';
}

std::string Join(const std::string& directory, const char* name) {
    return directory.empty() ? std::string(name) : directory + '/' + name;
}

} // namespace

DirectoryWatch::DirectoryWatch(std::string root, bool recurse)
    : m_Root(std::move(root)), m_Recurse(recurse) {}

DirectoryWatch::~DirectoryWatch() = default;

DirectoryWatch* DirectoryWatch::Open(const std::string& path, bool recurse, bool mustBeMountRoot,
                                     bool& isMountRoot) {
    isMountRoot = false;
    if (path.empty() || path.find('\0') != std::string::npos) {
        Zym::SetLastError(path.empty() ? Zym::ERROR_PATH_NOT_FOUND : Zym::ERROR_INVALID_NAME);
        return nullptr;
    }
    struct statx self;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_TYPE | STATX_INO, &self) != 0) {
        Zym::SetLastError(OpenError(errno, path));
        return nullptr;
    }
    if (!S_ISDIR(self.stx_mode)) {
        Zym::SetLastError(Zym::ERROR_DIRECTORY);
        return nullptr;
    }
    isMountRoot = IsMountRoot(path, self);
    if (mustBeMountRoot && !isMountRoot) {
        // Only the bare mount point is there: the file system is still away.
        Zym::SetLastError(Zym::ERROR_NETNAME_DELETED);
        return nullptr;
    }
    return new DirectoryWatch(path, recurse);
}

bool DirectoryWatch::Start() {
    bool outOfWatches = false;
    m_RootWd = AddWatch("", outOfWatches);
    if (m_RootWd < 0) {
        Zym::SetLastError(OpenError(errno, m_Root));
        return false;
    }
    if (m_Recurse && !WatchTree("", false)) {
        Zym::SetLastError(Zym::ERROR_NO_SYSTEM_RESOURCES);
        return false;
    }
    return true;
}

std::string DirectoryWatch::Absolute(const std::string& relative) const {
    if (relative.empty())
        return m_Root;
    return m_Root.back() == '/' ? m_Root + relative : m_Root + '/' + relative;
}

int DirectoryWatch::AddWatch(const std::string& relative, bool& outOfWatches) {
    // Below the root, a link is an entry, not a directory to descend into.
    const std::uint32_t mask = WATCH_MASK | (relative.empty() ? 0 : IN_DONT_FOLLOW);
    const int wd = port->AddWatch(*this, Absolute(relative), mask);
    if (wd < 0) {
        outOfWatches = errno == ENOSPC;
        return -1;
    }
    const auto known = m_Paths.find(wd);
    if (known != m_Paths.end() && known->second != relative) {
        // Seen again under another name (a rename that was lost): the new
        // name wins.
        const auto back = m_Watches.find(known->second);
        if (back != m_Watches.end() && back->second == wd)
            m_Watches.erase(back);
    }
    m_Paths[wd] = relative;
    m_Watches[relative] = wd;
    return wd;
}

void DirectoryWatch::ForgetWatch(int wd) {
    const auto found = m_Paths.find(wd);
    if (found == m_Paths.end())
        return;
    const auto back = m_Watches.find(found->second);
    if (back != m_Watches.end() && back->second == wd)
        m_Watches.erase(back);
    m_Paths.erase(found);
    m_Scanned.erase(wd);
}

bool DirectoryWatch::WatchTree(const std::string& top, bool report) {
    std::vector<std::string> directories{top};
    while (!directories.empty()) {
        const std::string directory = std::move(directories.back());
        directories.pop_back();
        int wd = m_RootWd;
        if (!directory.empty()) {
            // Watched before it is read: whatever appears from now on comes
            // as an event, whatever was there already is in the listing.
            bool outOfWatches = false;
            wd = AddWatch(directory, outOfWatches);
            if (wd < 0) {
                if (outOfWatches)
                    return false;
                continue; // gone already, or not for us to read
            }
        }
        DIR* listing = opendir(Absolute(directory).c_str());
        if (!listing)
            continue;
        while (const dirent* entry = readdir(listing)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const std::string path = Join(directory, name);
            bool isDirectory = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat status;
                isDirectory = fstatat(dirfd(listing), name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISDIR(status.st_mode);
            }
            if (report) {
                port->NoteListing();
                Push(NotifyRecords::FILE_ACTION_ADDED, path);
                m_Scanned[wd].insert(name);
            }
            if (isDirectory)
                directories.push_back(path);
        }
        closedir(listing);
    }
    return true;
}

void DirectoryWatch::MoveSubtree(const std::string& from, const std::string& to) {
    std::vector<std::pair<int, std::string>> moved;
    for (const auto& [wd, path] : m_Paths)
        if (path == from || StartsWithDirectory(path, from))
            moved.emplace_back(wd, to + path.substr(from.size()));
    for (const auto& [wd, path] : moved) {
        ForgetWatch(wd);
        m_Paths[wd] = path;
        m_Watches[path] = wd;
    }
}

void DirectoryWatch::DropSubtree(const std::string& relative) {
    std::vector<int> dropped;
    for (const auto& [wd, path] : m_Paths)
        if (path == relative || StartsWithDirectory(path, relative))
            dropped.push_back(wd);
    for (const int wd : dropped) {
        port->RemoveWatch(*this, wd);
        ForgetWatch(wd);
    }
}

void DirectoryWatch::Push(std::uint32_t action, std::string name) {
    if (m_Pending.size() >= MAX_PENDING) {
        PushLost();
        return;
    }
    m_Pending.push_back(Change{action, std::move(name)});
}

void DirectoryWatch::PushLost() {
    if (m_Pending.empty() || m_Pending.back().action != 0)
        m_Pending.push_back(Change{0, {}});
}

void DirectoryWatch::HandleEvent(int wd, std::uint32_t mask, std::uint32_t cookie,
                                 const char* name) {
    if (m_Error != 0)
        return;
    const auto found = m_Paths.find(wd);
    if (found == m_Paths.end())
        return;
    const std::string directory = found->second;
    if (wd == m_RootWd) {
        if (mask & IN_UNMOUNT) {
            m_Error = Zym::ERROR_NETNAME_DELETED;
            return;
        }
        if (mask & (IN_DELETE_SELF | IN_IGNORED)) {
            m_Error = Zym::ERROR_FILE_NOT_FOUND;
            return;
        }
    } else if (mask & IN_IGNORED) {
        ForgetWatch(wd);
        return;
    }
    // Events of the directory itself are not records.
    if (!name || !*name)
        return;
    const std::string path = Join(directory, name);
    const bool isDirectory = (mask & IN_ISDIR) != 0;
    if (mask & (IN_CREATE | IN_MOVED_TO)) {
        const auto scanned = m_Scanned.find(wd);
        if (scanned != m_Scanned.end() && scanned->second.erase(name))
            return; // the scan of its new directory reported it already
        Push(mask & IN_CREATE ? NotifyRecords::FILE_ACTION_ADDED
                              : NotifyRecords::FILE_ACTION_RENAMED_NEW_NAME,
             path);
        if (isDirectory && m_Recurse) {
            if (mask & IN_MOVED_TO) {
                const auto move = m_Moves.find(cookie);
                if (move != m_Moves.end()) {
                    MoveSubtree(move->second, path);
                    m_Moves.erase(move);
                    return;
                }
            }
            if (!WatchTree(path, true))
                m_Error = Zym::ERROR_NO_SYSTEM_RESOURCES;
        }
    } else if (mask & (IN_DELETE | IN_MOVED_FROM)) {
        const auto scanned = m_Scanned.find(wd);
        if (scanned != m_Scanned.end())
            scanned->second.erase(name);
        Push(mask & IN_DELETE ? NotifyRecords::FILE_ACTION_REMOVED
                              : NotifyRecords::FILE_ACTION_RENAMED_OLD_NAME,
             path);
        if (isDirectory && m_Recurse && (mask & IN_MOVED_FROM)) {
            m_Moves[cookie] = path;
            port->NoteMove(*this);
        }
    } else if (mask & (IN_MODIFY | IN_ATTRIB)) {
        Push(NotifyRecords::FILE_ACTION_MODIFIED, path);
    }
}

std::vector<int> DirectoryWatch::Descriptors() const {
    std::vector<int> descriptors;
    for (const auto& [wd, path] : m_Paths)
        descriptors.push_back(wd);
    return descriptors;
}

void DirectoryWatch::SettleMoves(int wd, std::uint32_t mask, std::uint32_t cookie) {
    // The kernel queues a rename's new name right behind its old one.
    for (auto move = m_Moves.begin(); move != m_Moves.end();) {
        if ((mask & IN_MOVED_TO) && cookie == move->first && m_Paths.count(wd)) {
            ++move;
            continue;
        }
        DropSubtree(move->second);
        move = m_Moves.erase(move);
    }
}

void DirectoryWatch::Drained() {
    // The scans' names cannot come again, and a directory renamed away by
    // the last event left the tree.
    m_Scanned.clear();
    for (const auto& [cookie, path] : m_Moves)
        DropSubtree(path);
    m_Moves.clear();
}

void DirectoryWatch::Overflowed() {
    PushLost();
    // Directories made while events were lost have no watch yet.
    if (m_Recurse && m_Error == 0 && !WatchTree("", false))
        m_Error = Zym::ERROR_NO_SYSTEM_RESOURCES;
}

bool DirectoryWatch::Complete(unsigned long& bytes, unsigned long& error) {
    bytes = 0;
    error = 0;
    for (;;) {
        if (m_Pending.empty()) {
            if (m_Error == 0)
                return false;
            // Stays: a later read fails the same way.
            error = m_Error;
            return true;
        }
        NotifyRecords::Writer writer(buffer, size);
        bool lost = false;
        while (!m_Pending.empty()) {
            Change& change = m_Pending.front();
            if (change.action == 0) {
                if (writer.Used() == 0) {
                    m_Pending.pop_front();
                    lost = true;
                }
                break;
            }
            const bool wanted = change.action == NotifyRecords::FILE_ACTION_MODIFIED
                                    ? (filter & CONTENT_CHANGES) != 0
                                    : (filter & NAME_CHANGES) != 0;
            if (wanted && !writer.Add(static_cast<Action>(change.action),
                                      ZymCharset::FromUtf8(change.name))) {
                if (writer.Used() == 0) {
                    // Longer than a whole batch: lost, and said so.
                    m_Pending.pop_front();
                    lost = true;
                }
                break;
            }
            m_Pending.pop_front();
        }
        if (writer.Used() != 0 || lost) {
            bytes = static_cast<unsigned long>(writer.Used());
            return true;
        }
    }
}

void* CreateDirectoryHandle(const std::u16string& path, bool recurse, bool mustBeMountRoot,
                            bool& isMountRoot) {
    DirectoryWatch* watch =
        DirectoryWatch::Open(ZymCharset::ToUtf8(path), recurse, mustBeMountRoot, isMountRoot);
    return watch ? watch : InvalidDirectoryHandle();
}

} // namespace ZymWindows::Platform
