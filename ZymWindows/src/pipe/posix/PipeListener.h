#pragma once

#include "../PipePlatform.h"

#include <ZymThread/EventSemaphore.h>

#include <Zym/Handle.h>

#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace ZymWindows::Platform {

// The listening socket of one pipe name, shared by every instance of that
// name in the process. It exists while an instance holds it; the last one
// closes it and removes the socket file, so that clients find the pipe gone
// rather than waiting on a socket nobody serves.
class PipeListener {
public:
    // The listener of `socketPath`, made when the process has none.
    static unsigned long Acquire(const std::string& socketPath,
                                 std::shared_ptr<PipeListener>& listener);

    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;

    // Takes one of the MAX_PIPE_INSTANCES places, or fails with
    // ERROR_PIPE_BUSY when all are taken; ReleaseInstance gives it back.
    unsigned long ReserveInstance();
    void ReleaseInstance();
    // Waits until a place is free (without taking it) or the shutdown event
    // is signalled.
    unsigned long WaitForPlace(ZymThread::EventSemaphore* shutdown);
    unsigned long Accept(ZymThread::EventSemaphore* shutdown, Zym::Handle& pipe);

private:
    PipeListener(const std::string& socketPath, Zym::Handle socket, dev_t device, ino_t inode);
    static void Close(PipeListener* listener) noexcept;

    const std::string m_Path;
    Zym::Handle m_Socket;
    // The socket file this listener created, so that it never removes a
    // newer server's file of the same name.
    const dev_t m_Device;
    const ino_t m_Inode;

    std::mutex m_Lock;
    unsigned int m_Instances = 0;
    ZymThread::EventSemaphore m_InstanceFreed{true, false};
};

// An instance holds one of its listener's places; a reservation of the
// name holds the listener only.
class PipeInstance {
public:
    PipeInstance(std::shared_ptr<PipeListener> listener, bool holdsPlace)
        : m_Listener(std::move(listener)), m_HoldsPlace(holdsPlace) {}
    ~PipeInstance();
    PipeInstance(const PipeInstance&) = delete;
    PipeInstance& operator=(const PipeInstance&) = delete;

    unsigned long Connect(ZymThread::EventSemaphore* shutdown, Zym::Handle& pipe) {
        return m_Listener->Accept(shutdown, pipe);
    }
    PipeListener& Listener() noexcept { return *m_Listener; }

private:
    std::shared_ptr<PipeListener> m_Listener;
    const bool m_HoldsPlace;
};

} // namespace ZymWindows::Platform
