#pragma once

#include <Zym/Handle.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The Win32 layout, so that the record can stand in for the real one.
struct _OVERLAPPED {
    unsigned long Internal;
    unsigned long InternalHigh;
    unsigned long Offset;
    unsigned long OffsetHigh;
    void* hEvent;
};

namespace ZymWindows::Platform {

class CompletionPort;

// A directory handle. Opening only checks the directory; once associated
// with a port, the watch has the port's inotify instance watch the
// directory and, for a recursive source, every directory below it, and
// turns their events into change records for its armed read.
class DirectoryWatch {
public:
    // Null with the last error set on failure.
    static DirectoryWatch* Open(const std::string& path, bool recurse, bool mustBeMountRoot,
                                bool& isMountRoot);
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Set by the port: where completions go.
    CompletionPort* port = nullptr;
    void* key = nullptr;

    // The armed read, if any. These and everything below are used under
    // the port's lock once the watch is associated.
    bool armed = false;
    char* buffer = nullptr;
    std::size_t size = 0;
    unsigned long filter = 0;
    _OVERLAPPED* overlapped = nullptr;

    // Watches the directory (and its tree) through the port: false, with
    // the last error set, when the system refuses.
    bool Start();
    // The watch descriptors this watch uses.
    std::vector<int> Descriptors() const;
    void HandleEvent(int wd, std::uint32_t mask, std::uint32_t cookie, const char* name);
    // Called before every event of the instance: a directory renamed away
    // whose new name is not this event left the tree.
    void SettleMoves(int wd, std::uint32_t mask, std::uint32_t cookie);
    // Every event older than the last read has been handled; a directory
    // renamed away by the last event left the tree.
    void Drained();
    // The instance lost events.
    void Overflowed();
    // True when an armed read could complete: records or a failure wait.
    bool HasResult() const noexcept { return !m_Pending.empty() || m_Error != 0; }
    // Completes the armed read: true with `bytes` (0 for lost changes) and
    // `error` 0, true with the failure in `error`, or false when nothing
    // is there yet.
    bool Complete(unsigned long& bytes, unsigned long& error);

private:
    DirectoryWatch(std::string root, bool recurse);

    // One change waiting for a read; action 0 marks lost changes.
    struct Change {
        std::uint32_t action;
        std::string name; // below the root, '/'-separated
    };

    void Push(std::uint32_t action, std::string name);
    void PushLost();
    // Watches `relative` and every directory below it; with `report`, also
    // records each entry found as created. False when the system has no
    // watch left.
    bool WatchTree(const std::string& relative, bool report);
    int AddWatch(const std::string& relative, bool& outOfWatches);
    void ForgetWatch(int wd);
    void MoveSubtree(const std::string& from, const std::string& to);
    void DropSubtree(const std::string& relative);
    std::string Absolute(const std::string& relative) const;

    const std::string m_Root;
    const bool m_Recurse;
    int m_RootWd = -1;
    std::unordered_map<int, std::string> m_Paths;   // watch -> directory below the root
    std::unordered_map<std::string, int> m_Watches; // and back
    std::deque<Change> m_Pending;
    // The failure that ends the reads once the changes before it are out.
    unsigned long m_Error = 0;
    // Names reported by the scan of a new directory, by the watch of the
    // directory that holds them: the creation events still queued for them
    // are not reported again. Cleared once the queue has been read empty,
    // since every event older than the scan is then consumed.
    std::unordered_map<int, std::unordered_set<std::string>> m_Scanned;
    // Directories renamed away, by rename cookie, until the next event
    // tells whether they came back under a new name.
    std::unordered_map<std::uint32_t, std::string> m_Moves;
};

// The completion port: one inotify instance that serves every watch of the
// port, so that watching costs the system's watches and one instance per
// observer; an epoll set of that instance and of an eventfd that wakes the
// port for posted packets. The listener reads the instance whenever it has
// events and hands each to the watches that use its descriptor; a watch's
// read completes once its records are there.
class CompletionPort {
public:
    // Null with the last error set on failure.
    static CompletionPort* Create();
    CompletionPort(const CompletionPort&) = delete;
    CompletionPort& operator=(const CompletionPort&) = delete;

    bool Associate(DirectoryWatch& watch, void* key);
    // Stops serving the watch, which is about to go.
    void Forget(DirectoryWatch& watch);
    bool Post(unsigned long bytes, void* key, _OVERLAPPED* overlapped, unsigned long error);
    bool Get(unsigned long& bytes, void*& key, _OVERLAPPED*& overlapped);
    bool Arm(DirectoryWatch& watch);
    // Whether a read was armed.
    bool Disarm(DirectoryWatch& watch);

    // For the watches, under the port's lock: add a watch of `path` for
    // `watch` (the descriptor, or -1 with errno set), and drop it.
    int AddWatch(DirectoryWatch& watch, const std::string& path, std::uint32_t mask);
    void RemoveWatch(DirectoryWatch& watch, int wd);
    // A watch listed a new directory while handling the last read: events
    // may have come meanwhile that the read did not take.
    void NoteListing() noexcept { m_Listed = true; }
    // A watch has a directory renamed away, to settle at the next event.
    void NoteMove(DirectoryWatch& watch);

private:
    CompletionPort(Zym::Handle epoll, Zym::Handle wake, Zym::Handle inotify) noexcept
        : m_Epoll(std::move(epoll)), m_Wake(std::move(wake)), m_Inotify(std::move(inotify)) {}

    struct Packet {
        unsigned long bytes;
        void* key;
        _OVERLAPPED* overlapped;
        unsigned long error;
    };

    bool Deliver(DirectoryWatch& watch, unsigned long& bytes, void*& key, _OVERLAPPED*& overlapped,
                 bool& ok);
    // Reads the instance until it is empty and hands out its events.
    bool ReadEvents();
    void Dispatch(int wd, std::uint32_t mask, std::uint32_t cookie, const char* name);
    void QueueReady(DirectoryWatch& watch);

    Zym::Handle m_Epoll;
    Zym::Handle m_Wake;
    Zym::Handle m_Inotify;
    // Guards everything here and the associated watches. Recursive: a
    // watch handling an event adds watches through the port.
    std::recursive_mutex m_Lock;
    std::deque<Packet> m_Posted;
    std::deque<DirectoryWatch*> m_Ready; // armed reads with a result waiting
    std::vector<DirectoryWatch*> m_Associated;
    std::vector<DirectoryWatch*> m_Moving;                         // with unsettled moves
    std::unordered_map<int, std::vector<DirectoryWatch*>> m_Users; // by descriptor
    bool m_Listed = false;
};

} // namespace ZymWindows::Platform
