#include "ZymWindows/DirectoryObserver.h"

#include "ZymWindows/Exceptions.h"
#include "observer/ObserverPlatform.h"
#include "observer/ObserverProbe.h"

#include <Zym/Environment.h>
#include <Zym/LastError.h>

#include <cstdio>
#include <exception>
#include <optional>

namespace ZymWindows {

namespace {

constexpr unsigned long DEFAULT_RESTART_WAIT_MS = 15000;
// The retry count at which the restart thread gives a directory up.
constexpr unsigned int MAX_RETRIES = 40;
// The byte count of start and stop packets.
constexpr unsigned long CONTROL_PACKET_BYTES = 4;

// $ZYM_OBSERVER_RESTART_MS, for tests that cannot wait 15 s between
// attempts to reopen a directory.
unsigned long RestartWaitFromEnvironment() {
    const std::optional<unsigned long> ms =
        Zym::MillisecondsFromEnvironment("ZYM_OBSERVER_RESTART_MS");
    return ms && *ms > 0 ? *ms : DEFAULT_RESTART_WAIT_MS;
}

// Waits as the Win32 code does with WaitForSingleObject: the results
// WAIT_OBJECT_0, WAIT_ABANDONED and WAIT_TIMEOUT count as done.
void WaitFor(ZymThread::EventSemaphore& event, unsigned long timeoutMs) {
    if (event.Wait(timeoutMs) == ZymThread::WAIT_FAILED)
        ZymThread::ThrowLastError();
}

void SetOrThrow(ZymThread::EventSemaphore& event) {
    if (!event.Set())
        ZymThread::ThrowLastError();
}

void ResetOrThrow(ZymThread::EventSemaphore& event) {
    if (!event.Reset())
        ZymThread::ThrowLastError();
}

} // namespace

WinNTDirectoryObserver::WinNTDirectoryObserver() : m_RestartWait(RestartWaitFromEnvironment()) {
    m_ListenerThread = new ZymThread::Thread(
        "EventListener", new ZymThread::FunctionT<WinNTDirectoryObserver>(
                             this, &WinNTDirectoryObserver::EventsListenerThreadFnc, nullptr));
}

WinNTDirectoryObserver::~WinNTDirectoryObserver() {
    if (m_ListenerThreadId.load() == std::this_thread::get_id()) {
        // The listener would wait for itself; nothing sensible remains.
        std::fputs("WinNTDirectoryObserver destroyed by its own listener thread\n", stderr);
        std::terminate();
    }
    for (;;) {
        long id;
        {
            ZymThread::CriticalSectionGuard guard(m_SourcesLock);
            if (m_Sources.empty())
                break;
            id = m_Sources.begin()->first;
        }
        DetachObserver(id);
    }
    m_Stop = true;
    m_WakeEvent.Set();
    m_RestartThread.Reset();
    if (m_CompletionPort)
        Platform::PostQueuedCompletionStatus(m_CompletionPort, 0, nullptr, nullptr);
    m_ListenerThread.Reset();
    if (m_CompletionPort)
        Platform::CloseCompletionPort(m_CompletionPort);
}

void WinNTDirectoryObserver::RejectListenerThread() const {
    if (m_ListenerThreadId.load() == std::this_thread::get_id()) {
        Zym::SetLastError(Zym::ERROR_POSSIBLE_DEADLOCK);
        ThrowLastError();
    }
}

long WinNTDirectoryObserver::AttachObserver(
    const std::u16string& path, bool recurse,
    const Zym::SmartPtr<ZymFile::ObserverCallInterface>& observer) {
    RejectListenerThread();
    ZymThread::CriticalSectionGuard guard(m_SourcesLock);
    const long id = ++m_LastId;
    const bool firstPort = m_CompletionPort == nullptr;
    Zym::SmartPtr<WinNTObserverSource> source =
        new WinNTObserverSource(id, path, recurse, WinNTObserverSource::STARTING, observer);
    void* port =
        Platform::CreateIoCompletionPort(source->DirectoryHandle(), m_CompletionPort, source.Get());
    if (!port)
        ThrowLastError(); // the source closes its handle as it goes
    // Written once only: the listener reads it without the lock.
    if (firstPort)
        m_CompletionPort = port;
    m_Sources.emplace(id, source);
    if (firstPort)
        m_ListenerThread->Run();
    ResetOrThrow(source->OperationEvent());
    PostPacket(*source);
    WaitForOperation(*source);
    return id;
}

void WinNTDirectoryObserver::DetachObserver(long id) {
    RejectListenerThread();
    ZymThread::CriticalSectionGuard guard(m_SourcesLock);
    const auto found = m_Sources.find(id);
    if (found == m_Sources.end())
        return;
    WinNTObserverSource& source = *found->second;
    // Cleared first: the listener may stop the source as soon as it is
    // STOPPING (a completion handled meanwhile), and its signal must last.
    ResetOrThrow(source.OperationEvent());
    source.State(WinNTObserverSource::STOPPING);
    PostPacket(source);
    WaitForOperation(source);
    m_Sources.erase(found);
}

void WinNTDirectoryObserver::PostPacket(WinNTObserverSource& source) {
    source.AddRef();
    if (!Platform::PostQueuedCompletionStatus(m_CompletionPort, CONTROL_PACKET_BYTES, &source,
                                              source.Overlapped())) {
        // Nobody will handle the packet: neither hold its reference nor
        // wait for it.
        source.Release();
        ThrowLastError();
    }
}

void WinNTDirectoryObserver::WaitForOperation(WinNTObserverSource& source) {
    WaitFor(source.OperationEvent(), ZymThread::INFINITE);
}

void* WinNTDirectoryObserver::EventsListenerThreadFnc(void*) {
    m_ListenerThreadId = std::this_thread::get_id();
    if (m_Stop)
        return nullptr;
    for (;;) {
        unsigned long bytes = 0;
        void* key = nullptr;
        _OVERLAPPED* overlapped = nullptr;
        const bool ok =
            Platform::GetQueuedCompletionStatus(m_CompletionPort, bytes, key, overlapped);
        // The packet's reference to its source now belongs to this pass.
        auto* source = static_cast<WinNTObserverSource*>(key);
        const long sourceId = source ? source->Id() : 0;
        ObserverProbe::Reach(ObserverProbe::Point::PACKET_TAKEN, sourceId, 0);
        bool handled = false;
        if (!ok) {
            const unsigned long error = Zym::GetLastError();
            if (error == Zym::ERROR_NETNAME_DELETED && source) {
                handled = true;
                // Only a running source is lost: one being detached stays
                // STOPPING so that the stop packet behind this one is
                // answered, whichever thread gets at the state first.
                source->ChangeState(WinNTObserverSource::RUNNING,
                                    WinNTObserverSource::DISCONNECTED);
                if (!m_RestartThread) {
                    m_RestartThread = new ZymThread::Thread(
                        "NTDirObserver: Listener",
                        new ZymThread::FunctionT<WinNTDirectoryObserver>(
                            this, &WinNTDirectoryObserver::RestartThreadFnc, nullptr));
                    m_RestartThread->Run();
                }
                SetOrThrow(m_WakeEvent);
            } else if (error != Zym::ERROR_OPERATION_ABORTED || !source) {
                handled = true;
                if (source) {
                    const std::u16string message = Zym::GetLastErrorMessage(error);
                    try {
                        source->Observer()->ErrorOccurred(
                            ZymFile::PathT<char16_t>(source->SourcePath()), source->Id(), message);
                    } catch (...) {
                        // Nobody to tell: the caller's observer failed.
                    }
                }
            }
        }
        if (source && !handled)
            HandleSourcePacket(*source);
        if (source)
            source->Release();
        ObserverProbe::Reach(ObserverProbe::Point::PACKET_DONE, sourceId, 0);
        // Only the shutdown packet ends the loop: the packets posted before
        // it (the cancelled reads of the last detached sources) still hold
        // references to release.
        if (m_Stop && ok && !source && !overlapped)
            return nullptr;
    }
}

void WinNTDirectoryObserver::HandleSourcePacket(WinNTObserverSource& source) {
    switch (source.State()) {
    case WinNTObserverSource::STARTING:
        IssueRead(source);
        source.State(WinNTObserverSource::RUNNING);
        SetOrThrow(source.OperationEvent());
        break;
    case WinNTObserverSource::RUNNING: {
        std::vector<ZymFile::DeviceEvent> events;
        source.ExtractEvents(events);
        try {
            source.Observer()->EventsOccurred(events);
        } catch (...) {
            // Nobody to tell: the caller's observer failed.
        }
        IssueRead(source);
        break;
    }
    case WinNTObserverSource::STOPPING:
        source.State(WinNTObserverSource::STOPPED);
        Platform::CancelIo(source.DirectoryHandle());
        SetOrThrow(source.OperationEvent());
        break;
    case WinNTObserverSource::STOPPED:
    case WinNTObserverSource::DISCONNECTED:
        break;
    }
}

void WinNTDirectoryObserver::IssueRead(WinNTObserverSource& source) {
    source.AddRef();
    if (!Platform::ReadDirectoryChanges(source.DirectoryHandle(), source.EventBuffer(),
                                        WinNTObserverSource::EVENT_BUFFER_SIZE, source.Recurse(),
                                        source.Filter(), source.Overlapped()))
        source.Release();
}

void* WinNTDirectoryObserver::RestartThreadFnc(void*) {
    if (m_Stop)
        return nullptr;
    unsigned long wait = m_RestartWait;
    for (;;) {
        WaitFor(m_WakeEvent, wait);
        if (m_Stop)
            return nullptr;
        ZymThread::CriticalSectionGuard guard(m_SourcesLock);
        unsigned int pending = 0;
        for (const auto& [id, held] : m_Sources) {
            const Zym::SmartPtr<WinNTObserverSource> source = held;
            if (source->State() != WinNTObserverSource::DISCONNECTED)
                continue;
            void* handle = source->CreateDirectoryHandle();
            const unsigned int retries = source->NbRetries();
            ++pending;
            // Watching may still fail, for want of system resources: that
            // is one more failed attempt.
            if (handle != Platform::InvalidDirectoryHandle() &&
                Platform::CreateIoCompletionPort(handle, m_CompletionPort, source.Get())) {
                source->State(WinNTObserverSource::STARTING);
                source->NbRetries(0);
                ResetOrThrow(source->OperationEvent());
                PostPacket(*source);
                WaitForOperation(*source);
                --pending;
            } else if (retries <= MAX_RETRIES) {
                source->NbRetries(retries + 1);
            } else {
                source->State(WinNTObserverSource::STOPPING);
                PostPacket(*source);
                --pending;
            }
        }
        wait = pending != 0 ? m_RestartWait : ZymThread::INFINITE;
        if (m_Stop)
            return nullptr;
    }
}

void WinNTDirectoryObserver::ThrowLastError() const {
    throw WindowsException(Zym::GetLastErrorMessage(0));
}

} // namespace ZymWindows
