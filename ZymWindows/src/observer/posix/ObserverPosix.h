#pragma once

#include <Zym/Handle.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

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

// A directory handle: one inotify instance that watches the directory and,
// for a recursive source, every directory below it. While a read is armed,
// the listener turns the instance's events into change records in the
// read's buffer.
class DirectoryWatch {
public:
    // Null with the last error set on failure.
    static DirectoryWatch* Open(const std::string& path, bool recurse, bool mustBeMountRoot,
                                bool& isMountRoot);
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    int Descriptor() const noexcept { return m_Inotify.Get(); }

    // Set by the port: where completions go.
    CompletionPort* port = nullptr;
    void* key = nullptr;

    // The armed read, if any; only the port's listener touches these.
    bool armed = false;
    bool enabled = false; // in the epoll set with EPOLLIN
    char* buffer = nullptr;
    std::size_t size = 0;
    unsigned long filter = 0;
    _OVERLAPPED* overlapped = nullptr;

    // True when an armed read could complete without reading the instance
    // first: records or a failure are waiting.
    bool HasResult() const noexcept { return !m_Pending.empty() || m_Error != 0; }
    // Reads what the instance holds and completes the armed read: true
    // with `bytes` (0 for lost changes) and `error` 0, true with the
    // failure in `error`, or false when nothing is there yet.
    bool Complete(unsigned long& bytes, unsigned long& error);

private:
    DirectoryWatch(Zym::Handle inotify, std::string root, bool recurse);

    // One change waiting for a read; action 0 marks lost changes.
    struct Change {
        std::uint32_t action;
        std::string name; // below the root, '/'-separated
    };

    void Drain();
    void Drained();
    void HandleEvent(int wd, std::uint32_t mask, std::uint32_t cookie, const char* name);
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
    unsigned long Fill();

    Zym::Handle m_Inotify;
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
    // are not reported again. Cleared whenever the queue has been read
    // empty, since every event older than the scan is then consumed.
    std::unordered_map<int, std::unordered_set<std::string>> m_Scanned;
    // Whether handling the last read listed a new directory.
    bool m_Listed = false;
    // Directories renamed away, by rename cookie, until the new name arrives
    // or the queue is read empty (they left the tree).
    std::unordered_map<std::uint32_t, std::string> m_Moves;
};

// The completion port: an epoll set of the watches' inotify descriptors
// plus a queue of posted packets woken through an eventfd. A descriptor
// produces a packet only while its read is armed; it stays enabled in the
// set from one read to the next, which follows at once in the usual case,
// and is disabled when it turns out not to be armed, when its read is
// cancelled and when a read fails.
class CompletionPort {
public:
    CompletionPort(Zym::Handle epoll, Zym::Handle wake) noexcept
        : m_Epoll(std::move(epoll)), m_Wake(std::move(wake)) {}
    bool Associate(DirectoryWatch& watch, void* key);
    bool Post(unsigned long bytes, void* key, _OVERLAPPED* overlapped, unsigned long error);
    bool Get(unsigned long& bytes, void*& key, _OVERLAPPED*& overlapped);
    bool Arm(DirectoryWatch& watch);
    void Disarm(DirectoryWatch& watch);

private:
    struct Packet {
        unsigned long bytes;
        void* key;
        _OVERLAPPED* overlapped;
        unsigned long error;
    };

    bool EnableWatch(DirectoryWatch& watch, bool enable);
    bool Deliver(DirectoryWatch& watch, unsigned long& bytes, void*& key, _OVERLAPPED*& overlapped,
                 bool& ok);

    Zym::Handle m_Epoll;
    Zym::Handle m_Wake;
    std::mutex m_Lock; // guards the queues
    std::deque<Packet> m_Posted;
    std::deque<DirectoryWatch*> m_Ready; // armed reads with a result already waiting
};

} // namespace ZymWindows::Platform
