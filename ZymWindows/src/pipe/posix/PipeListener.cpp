#include "PipeListener.h"

#include "PipeDirectoryLock.h"
#include "PipePath.h"
#include "PipeWait.h"

#include <Zym/LastError.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// Clients that the server has not accepted yet wait in the listening
// socket's backlog, woken by the kernel when they are accepted. Beyond this
// many, a client's connect fails with EAGAIN, which clients see as "all
// instances busy" and retry after a pause.
constexpr int LISTEN_BACKLOG = MAX_PIPE_INSTANCES;

struct Registry {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<PipeListener>> listeners;
};

// Never destroyed: a daemon's client thread may close the last instance of
// a name while the process exits, after static destructors have run.
Registry& Listeners() {
    static Registry* const registry = new Registry;
    return *registry;
}

sockaddr_un AddressOf(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    return address;
}

// Whether a server still answers at the socket file: a refused connection
// means the file was left behind by a server that is gone.
bool IsServed(const sockaddr_un& address) {
    const Zym::Handle probe(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    return probe.IsValid() && (connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address),
                                       sizeof address) == 0 ||
                               errno == EAGAIN);
}

// A name in the pipe directory for a socket that is not yet listening.
std::string BindingPath(const std::string& socketPath) {
    static std::atomic<unsigned int> counter{0};
    return socketPath.substr(0, socketPath.rfind('/') + 1) + ".bind-" + std::to_string(getpid()) +
           "-" + std::to_string(counter++);
}

// Makes the listening socket under a private name and moves it into place
// only once it listens, so that a client that sees the file can connect. A
// file left by a server that is gone is replaced; a live server's is not.
unsigned long Bind(const std::string& socketPath, Zym::Handle& socketOut, struct stat& file) {
    if (IsServed(AddressOf(socketPath)))
        return Zym::SetLastErrorFromErrno(EEXIST);
    const std::string binding = BindingPath(socketPath);
    if (binding.size() >= sizeof(sockaddr_un::sun_path))
        return Zym::SetLastErrorFromErrno(ENAMETOOLONG);
    Zym::Handle listening(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listening.IsValid())
        return Zym::SetLastErrorFromErrno(errno);
    const sockaddr_un address = AddressOf(binding);
    unlink(binding.c_str());
    if (bind(listening.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    // Any account may open the pipe.
    if (chmod(binding.c_str(), 0666) != 0 || listen(listening.Get(), LISTEN_BACKLOG) != 0 ||
        stat(binding.c_str(), &file) != 0 || rename(binding.c_str(), socketPath.c_str()) != 0) {
        const int error = errno;
        unlink(binding.c_str());
        return Zym::SetLastErrorFromErrno(error);
    }
    socketOut = std::move(listening);
    return Zym::ERROR_SUCCESS;
}

} // namespace

PipeListener::PipeListener(const std::string& socketPath, Zym::Handle socket, dev_t device,
                           ino_t inode)
    : m_Path(socketPath), m_Socket(std::move(socket)), m_Device(device), m_Inode(inode) {}

unsigned long PipeListener::Acquire(const std::string& socketPath,
                                    std::shared_ptr<PipeListener>& listener) {
    Registry& registry = Listeners();
    std::lock_guard guard(registry.lock);
    listener = registry.listeners[socketPath].lock();
    if (listener)
        return Zym::ERROR_SUCCESS;
    PipeDirectoryLock directory;
    if (const unsigned long error = directory.Lock(); error != Zym::ERROR_SUCCESS)
        return error;
    Zym::Handle socket;
    struct stat file {};
    if (const unsigned long error = Bind(socketPath, socket, file); error != Zym::ERROR_SUCCESS)
        return error;
    try {
        listener.reset(new PipeListener(socketPath, std::move(socket), file.st_dev, file.st_ino),
                       &PipeListener::Close);
    } catch (const Zym::Exception&) {
        unlink(socketPath.c_str());
        return Zym::GetLastError();
    }
    registry.listeners[socketPath] = listener;
    return Zym::ERROR_SUCCESS;
}

void PipeListener::Close(PipeListener* listener) noexcept {
    // Closed before the file goes, so that a client arriving meanwhile is
    // refused instead of waiting in a backlog that nobody serves.
    listener->m_Socket.Close();
    {
        PipeDirectoryLock directory;
        struct stat file {};
        if (directory.Lock() == Zym::ERROR_SUCCESS && stat(listener->m_Path.c_str(), &file) == 0 &&
            file.st_dev == listener->m_Device && file.st_ino == listener->m_Inode)
            unlink(listener->m_Path.c_str());
    }
    Registry& registry = Listeners();
    {
        std::lock_guard guard(registry.lock);
        const auto entry = registry.listeners.find(listener->m_Path);
        if (entry != registry.listeners.end() && entry->second.expired())
            registry.listeners.erase(entry);
    }
    delete listener;
}

unsigned long PipeListener::ReserveInstance() {
    std::lock_guard guard(m_Lock);
    if (m_Instances == MAX_PIPE_INSTANCES) {
        Zym::SetLastError(Zym::ERROR_PIPE_BUSY);
        return Zym::ERROR_PIPE_BUSY;
    }
    ++m_Instances;
    return Zym::ERROR_SUCCESS;
}

void PipeListener::ReleaseInstance() {
    std::lock_guard guard(m_Lock);
    --m_Instances;
    m_InstanceFreed.Set();
}

unsigned long PipeListener::WaitForPlace(ZymThread::EventSemaphore* shutdown) {
    for (;;) {
        {
            std::lock_guard guard(m_Lock);
            if (m_Instances < MAX_PIPE_INSTANCES)
                return Zym::ERROR_SUCCESS;
            m_InstanceFreed.Reset();
        }
        ZymThread::EventSemaphore* events[] = {&m_InstanceFreed, shutdown};
        const unsigned long wait = ZymThread::WaitForAny(events, shutdown ? 2 : 1);
        if (wait == ZymThread::WAIT_FAILED)
            return Zym::GetLastError();
        if (wait == ZymThread::WAIT_OBJECT_0 + 1) {
            Zym::SetLastError(Zym::ERROR_OPERATION_ABORTED);
            return Zym::ERROR_OPERATION_ABORTED;
        }
    }
}

unsigned long PipeListener::Accept(ZymThread::EventSemaphore* shutdown, Zym::Handle& pipe) {
    for (;;) {
        if (const unsigned long error = WaitForPipeOrShutdown(m_Socket.Get(), POLLIN, shutdown);
            error != Zym::ERROR_SUCCESS)
            return error;
        // Connected pipes block; a transfer that watches a shutdown event
        // asks for a non-blocking call.
        const int connected = accept4(m_Socket.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (connected >= 0) {
            pipe.Reset(connected);
            return Zym::ERROR_SUCCESS;
        }
        // Another instance took the client, or the client gave up: wait on.
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
            return Zym::SetLastErrorFromErrno(errno);
    }
}

PipeInstance::~PipeInstance() {
    if (m_HoldsPlace)
        m_Listener->ReleaseInstance();
}

namespace {

PipeInstance* NewInstance(const std::string& path, bool holdsPlace) {
    std::string socketPath;
    if (const unsigned long error = SocketPathOf(path, socketPath); error != Zym::ERROR_SUCCESS) {
        Zym::SetLastError(error);
        return nullptr;
    }
    std::shared_ptr<PipeListener> listener;
    if (PipeListener::Acquire(socketPath, listener) != Zym::ERROR_SUCCESS)
        return nullptr;
    if (holdsPlace && listener->ReserveInstance() != Zym::ERROR_SUCCESS)
        return nullptr;
    try {
        return new PipeInstance(listener, holdsPlace);
    } catch (...) {
        if (holdsPlace)
            listener->ReleaseInstance();
        throw;
    }
}

} // namespace

PipeInstance* CreatePipeInstance(const std::string& path) {
    return NewInstance(path, true);
}

// Waiting clients sit in the listening socket's backlog, which closing the
// socket would reset: a reservation keeps it open between instances.
PipeInstance* ReservePipeName(const std::string& path) {
    return NewInstance(path, false);
}

unsigned long WaitForInstancePlace(PipeInstance& reservation, ZymThread::EventSemaphore* shutdown) {
    return reservation.Listener().WaitForPlace(shutdown);
}

void ClosePipeInstance(PipeInstance* instance) noexcept {
    delete instance;
}

unsigned long ConnectPipeInstance(PipeInstance& instance, ZymThread::EventSemaphore* shutdown,
                                  Zym::Handle& pipe) {
    return instance.Connect(shutdown, pipe);
}

} // namespace ZymWindows::Platform
