#pragma once

#include "network/posix/RemoteProtocol.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ZymWindows::Network {

// One network helper process and the library's end of its socket. It is
// started on its first exchange, and again after one that failed.
class HelperProcess {
public:
    using Clock = std::chrono::steady_clock;
    enum Outcome { ANSWERED, TIMED_OUT, FAILED, TOO_LARGE };

    explicit HelperProcess(std::string path) : m_Path(std::move(path)) {}
    ~HelperProcess() { Stop(false); }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Sends the request and reads the answer by `deadline`; a helper that
    // does not answer in time is killed.
    Outcome Exchange(const NetHelper::Request& request, Clock::time_point deadline,
                     NetHelper::Response& response);
    // Lets an idle helper leave; the next exchange starts a new one.
    void Retire() { Stop(false); }

private:
    bool Start();
    bool Alive();
    void Stop(bool kill);
    bool Wait(short events, Clock::time_point deadline);
    bool Send(const std::string& bytes, Clock::time_point deadline);
    bool Receive(std::string& bytes, Clock::time_point deadline);
    template <class Step>
    bool Transfer(short events, std::size_t size, Clock::time_point deadline, Step step);

    std::string m_Path;
    pid_t m_Process = -1;
    int m_Socket = -1;
};

// The helpers of one provider. Each call gets a helper of its own, so that
// no call waits for another's server; beyond MAX_HELPERS calls at once a
// call waits for a helper to come free. A few stay running between calls
// (each keeps its logons to the servers it asked).
class HelperPool {
public:
    static constexpr std::size_t MAX_HELPERS = 16;
    static constexpr std::size_t KEPT_RUNNING = 2;

    explicit HelperPool(std::string path) : m_Path(std::move(path)) {}

    // A helper for one call, back in the pool when the lease ends.
    class Lease {
    public:
        Lease(HelperPool& pool, HelperProcess& helper) : m_Pool(pool), m_Helper(helper) {}
        ~Lease() { m_Pool.Release(m_Helper); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        HelperProcess* operator->() { return &m_Helper; }

    private:
        HelperPool& m_Pool;
        HelperProcess& m_Helper;
    };

    HelperProcess& Acquire();

private:
    void Release(HelperProcess& helper);

    const std::string m_Path;
    std::mutex m_Lock;
    std::condition_variable m_Freed;
    std::vector<std::unique_ptr<HelperProcess>> m_Helpers; // guarded by m_Lock
    std::vector<HelperProcess*> m_Free;                    // guarded by m_Lock
};

} // namespace ZymWindows::Network
