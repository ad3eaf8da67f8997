#include "ZymWindows/DirectoryObserver.h"

#include "ZymWindows/Exceptions.h"
#include "observer/NotifyRecords.h"
#include "observer/ObserverPlatform.h"
#include "observer/ObserverProbe.h"

#include <ZymThread/Thread.h>

#include <Zym/LastError.h>
#include <Zym/NoCase.h>

#include <cstring>

namespace ZymWindows {

WinNTObserverSource::WinNTObserverSource(
    long id, const std::u16string& path, bool recurse, RunningState state,
    const Zym::SmartPtr<ZymFile::ObserverCallInterface>& observer)
    : m_Id(id), m_EventBuffer(new char[EVENT_BUFFER_SIZE]), m_SourcePath(path), m_Recurse(recurse),
      m_DirectoryHandle(Platform::InvalidDirectoryHandle()), m_Filter(NOTIFY_FILTER),
      m_Overlapped(nullptr), m_Observer(observer), m_State(state) {
    // The members that own raw memory are released here if the open fails,
    // since no destructor runs for a constructor that raises.
    try {
        m_Overlapped = Platform::NewOverlapped();
        std::memset(m_EventBuffer, 0, EVENT_BUFFER_SIZE);
        if (CreateDirectoryHandle() == Platform::InvalidDirectoryHandle())
            ThrowLastError();
    } catch (...) {
        Platform::DeleteOverlapped(m_Overlapped);
        delete[] m_EventBuffer;
        throw;
    }
    Platform::ClearOverlapped(m_Overlapped);
}

WinNTObserverSource::~WinNTObserverSource() {
    if (m_DirectoryHandle != Platform::InvalidDirectoryHandle())
        Platform::CloseDirectoryHandle(m_DirectoryHandle);
    m_Observer.Reset();
    delete[] m_EventBuffer;
    Platform::DeleteOverlapped(m_Overlapped);
}

void* WinNTObserverSource::CreateDirectoryHandle() {
    if (m_DirectoryHandle != Platform::InvalidDirectoryHandle()) {
        Platform::CloseDirectoryHandle(m_DirectoryHandle);
        m_DirectoryHandle = Platform::InvalidDirectoryHandle();
    }
    // "c:" alone names the current directory of drive C; the caller means
    // the drive.
    const std::u16string& name =
        Zym::WNoCase::IsEqual(m_SourcePath, u"c:") ? u"C:\\" : m_SourcePath;
    bool mountRoot = false;
    m_DirectoryHandle =
        Platform::CreateDirectoryHandle(name, m_Recurse, m_Opened && m_MountRoot, mountRoot);
    if (m_DirectoryHandle != Platform::InvalidDirectoryHandle() && !m_Opened) {
        m_Opened = true;
        m_MountRoot = mountRoot;
    }
    return m_DirectoryHandle;
}

void WinNTObserverSource::ExtractEvents(std::vector<ZymFile::DeviceEvent>& events) {
    NotifyRecords::Extract(m_EventBuffer, EVENT_BUFFER_SIZE, m_SourcePath, m_Id, events);
    std::memset(m_EventBuffer, 0, EVENT_BUFFER_SIZE);
}

WinNTObserverSource::RunningState WinNTObserverSource::State() const {
    RunningState state;
    {
        ZymThread::CriticalSectionGuard guard(m_StateLock);
        state = m_State;
    }
    ObserverProbe::Reach(ObserverProbe::Point::STATE_SEEN, m_Id, state);
    return state;
}

void WinNTObserverSource::State(RunningState state) {
    {
        ZymThread::CriticalSectionGuard guard(m_StateLock);
        m_State = state;
    }
    ObserverProbe::Reach(ObserverProbe::Point::STATE_STORED, m_Id, state);
}

bool WinNTObserverSource::ChangeState(RunningState from, RunningState to) {
    RunningState found;
    {
        ZymThread::CriticalSectionGuard guard(m_StateLock);
        found = m_State;
        if (found == from)
            m_State = to;
    }
    ObserverProbe::Reach(ObserverProbe::Point::STATE_SEEN, m_Id, found);
    if (found != from)
        return false;
    ObserverProbe::Reach(ObserverProbe::Point::STATE_STORED, m_Id, to);
    return true;
}

unsigned int WinNTObserverSource::NbRetries() const {
    ZymThread::CriticalSectionGuard guard(m_StateLock);
    return m_NbRetries;
}

void WinNTObserverSource::NbRetries(unsigned int retries) {
    ZymThread::CriticalSectionGuard guard(m_StateLock);
    m_NbRetries = retries;
}

void WinNTObserverSource::ThrowLastError() const {
    throw WindowsException(Zym::GetLastErrorMessage(0));
}

} // namespace ZymWindows
