#pragma once

#include <ZymWindows/Export.h>

#include <ZymFile/Observer.h>
#include <ZymThread/CriticalSection.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

// The platform's overlapped-I/O record; only its address travels here.
struct _OVERLAPPED;

namespace ZymWindows {

// One watched directory of a WinNTDirectoryObserver: its handle, its
// 4096-byte change buffer and the state of its pending read. Made and
// driven by the observer; callers meet it only through its id.
class ZYMWINDOWS_EXPORT WinNTObserverSource : public Zym::SPRefCounter {
public:
    enum RunningState : int {
        STARTING = 0,     // open; the listener is to issue the first read
        RUNNING = 1,      // a read is pending, or its completion is handled
        STOPPING = 2,     // the listener is to cancel the read and stop
        STOPPED = 3,      // nothing pending; packets are ignored
        DISCONNECTED = 4, // the file system went away; the restart thread reopens it
    };

    static constexpr unsigned int EVENT_BUFFER_SIZE = 4096;
    // FILE_NOTIFY_CHANGE_FILE_NAME | _DIR_NAME | _ATTRIBUTES | _LAST_WRITE | _SECURITY.
    static constexpr unsigned long NOTIFY_FILTER = 0x117;

    // Opens the directory; raises WindowsException with the system text
    // of the failure when it cannot.
    WinNTObserverSource(long id, const std::u16string& path, bool recurse, RunningState state,
                        const Zym::SmartPtr<ZymFile::ObserverCallInterface>& observer);
    WinNTObserverSource(const WinNTObserverSource&) = delete;
    WinNTObserverSource& operator=(const WinNTObserverSource&) = delete;

    // Closes the current handle, if any, and opens the directory anew: the
    // new handle, or the invalid handle (last error set) on failure. A
    // directory that was the root of a mount when first opened opens again
    // only once something is mounted there again.
    void* CreateDirectoryHandle();
    // Appends the events that the buffer holds, then zero-fills the buffer.
    void ExtractEvents(std::vector<ZymFile::DeviceEvent>& events);

    long Id() const noexcept { return m_Id; }
    char* EventBuffer() noexcept { return m_EventBuffer; }
    const std::u16string& SourcePath() const noexcept { return m_SourcePath; }
    bool Recurse() const noexcept { return m_Recurse; }
    void* DirectoryHandle() const noexcept { return m_DirectoryHandle; }
    unsigned long Filter() const noexcept { return m_Filter; }
    _OVERLAPPED* Overlapped() const noexcept { return m_Overlapped; }
    Zym::SmartPtr<ZymFile::ObserverCallInterface> Observer() const { return m_Observer; }
    RunningState State() const;
    void State(RunningState state);
    unsigned int NbRetries() const;
    void NbRetries(unsigned int retries);
    ZymThread::EventSemaphore& OperationEvent() noexcept { return m_OperationEvent; }

private:
    ~WinNTObserverSource() override;
    [[noreturn]] void ThrowLastError() const;

    long m_Id;
    char* m_EventBuffer;
    std::u16string m_SourcePath;
    bool m_Recurse;
    void* m_DirectoryHandle;
    unsigned long m_Filter;
    _OVERLAPPED* m_Overlapped;
    Zym::SmartPtr<ZymFile::ObserverCallInterface> m_Observer;
    mutable ZymThread::CriticalSection m_StateLock{4000};
    RunningState m_State;
    unsigned int m_NbRetries = 0;
    ZymThread::EventSemaphore m_OperationEvent{false, false};
    // Whether the first open found the directory at the root of a mount,
    // which a reopen then requires again.
    bool m_MountRoot = false;
    bool m_Opened = false;
};

// Watches directories and hands their changes to observers, with one
// listener thread ("EventListener") for all of them. A directory whose file
// system goes away is reopened by a second thread ("NTDirObserver:
// Listener") once it is back: at once, then every 15 s (or every
// $ZYM_OBSERVER_RESTART_MS milliseconds) for about ten minutes.
//
// Event paths are the watched path as given, a backslash, then the entry's
// path below it with the platform's own separators. The callbacks run on the
// listener thread; an exception that escapes one is dropped. Attaching or
// detaching from a callback raises WindowsException (1131, a deadlock).
class ZYMWINDOWS_EXPORT WinNTDirectoryObserver : public ZymFile::DirectoryObserverCallInterface {
public:
    WinNTDirectoryObserver();
    // Detaches every source, then stops both threads.
    ~WinNTDirectoryObserver() override;
    WinNTDirectoryObserver(const WinNTDirectoryObserver&) = delete;
    WinNTDirectoryObserver& operator=(const WinNTDirectoryObserver&) = delete;

    long AttachObserver(const std::u16string& path, bool recurse,
                        const Zym::SmartPtr<ZymFile::ObserverCallInterface>& observer) override;
    void DetachObserver(long id) override;

private:
    void* EventsListenerThreadFnc(void*);
    void* RestartThreadFnc(void*);
    [[noreturn]] void ThrowLastError() const;
    void RejectListenerThread() const;
    void HandleSourcePacket(WinNTObserverSource& source);
    void IssueRead(WinNTObserverSource& source);
    void PostPacket(WinNTObserverSource& source);
    void WaitForOperation(WinNTObserverSource& source);

    Zym::SmartPtr<ZymThread::Thread> m_ListenerThread;
    Zym::SmartPtr<ZymThread::Thread> m_RestartThread;
    std::atomic<bool> m_Stop{false};
    std::atomic<long> m_LastId{0};
    void* m_CompletionPort = nullptr;
    ZymThread::CriticalSection m_SourcesLock{4000};
    std::map<long, Zym::SmartPtr<WinNTObserverSource>> m_Sources;
    ZymThread::EventSemaphore m_WakeEvent{false, false};
    // The restart wait in milliseconds: 15000 unless the environment says.
    unsigned long m_RestartWait;
    std::atomic<std::thread::id> m_ListenerThreadId{};
};

} // namespace ZymWindows
