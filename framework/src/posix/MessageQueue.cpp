#include "ZymThread/MessageQueue.h"
#include "ZymThread/DescriptorWait.h"

#include "Zym/Handle.h"
#include "Zym/LastError.h"

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>
#include <unordered_map>

namespace ZymThread {

namespace {

// One thread's queue. Its eventfd holds a non-zero count exactly while
// `messages` is not empty; both change together under `lock`.
struct Queue {
    Zym::Handle signal;
    std::mutex lock;
    std::condition_variable posted;
    std::deque<MSG> messages;
    bool ended = false;
    bool ownerWaits = false;
};

using QueuePtr = std::shared_ptr<Queue>;

// Queues by thread id, guarded by g_QueuesLock. The map is made on first
// use and never destroyed: threads may still end (and leave it) while the
// process runs its exit handlers.
std::mutex g_QueuesLock;

std::unordered_map<unsigned long, QueuePtr>& Queues() {
    static auto* queues = new std::unordered_map<unsigned long, QueuePtr>;
    return *queues;
}

// Ties a queue to the life of its thread.
struct QueueOwner {
    unsigned long threadId = 0;
    QueuePtr queue;

    ~QueueOwner() {
        if (!queue)
            return;
        {
            std::lock_guard guard(g_QueuesLock);
            Queues().erase(threadId);
        }
        // A poster that looked the queue up just before still finds it
        // gone, and says so.
        std::lock_guard guard(queue->lock);
        queue->ended = true;
        queue->messages.clear();
    }
};

thread_local QueueOwner t_Owner;

// GetTickCount: milliseconds of the monotonic clock, at the coarse
// resolution that is cheap to read (a few milliseconds, as on Windows).
unsigned long TickCount() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<unsigned long>(static_cast<std::uint32_t>(ms));
}

bool WriteSignal(int fd) noexcept {
    const std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

void DrainSignal(int fd) noexcept {
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

// The calling thread's queue, made on first use; null with the last error
// set when it cannot be made.
Queue* ThisQueue() noexcept try {
    if (t_Owner.queue)
        return t_Owner.queue.get();
    auto queue = std::make_shared<Queue>();
    queue->signal.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!queue->signal.IsValid()) {
        Zym::SetLastErrorFromErrno(errno);
        return nullptr;
    }
    const unsigned long id = GetCurrentThreadId();
    {
        std::lock_guard guard(g_QueuesLock);
        Queues()[id] = queue;
    }
    t_Owner.threadId = id;
    t_Owner.queue = std::move(queue);
    return t_Owner.queue.get();
} catch (const std::bad_alloc&) {
    Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

bool Passes(const MSG& msg, unsigned int filterMin, unsigned int filterMax) noexcept {
    if (msg.message == WM_QUIT || (filterMin == 0 && filterMax == 0))
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

// Under the queue's lock: the first message that passes, taken out if
// asked; false when there is none.
bool Take(Queue& queue, MSG* msg, unsigned int filterMin, unsigned int filterMax,
          bool remove) noexcept {
    for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
        if (!Passes(*it, filterMin, filterMax))
            continue;
        if (msg)
            *msg = *it;
        if (remove) {
            queue.messages.erase(it);
            if (queue.messages.empty())
                DrainSignal(queue.signal.Get());
        }
        return true;
    }
    return false;
}

} // namespace

unsigned long GetCurrentThreadId() noexcept {
    return static_cast<unsigned long>(::gettid());
}

int GetMessage(MSG* msg, unsigned int filterMin, unsigned int filterMax) noexcept {
    Queue* queue = ThisQueue();
    if (!queue)
        return -1;
    std::unique_lock guard(queue->lock);
    MSG taken;
    while (!Take(*queue, &taken, filterMin, filterMax, true)) {
        queue->ownerWaits = true;
        queue->posted.wait(guard);
        queue->ownerWaits = false;
    }
    if (msg)
        *msg = taken;
    return taken.message == WM_QUIT ? 0 : 1;
}

bool PeekMessage(MSG* msg, unsigned int filterMin, unsigned int filterMax,
                 unsigned int removeMsg) noexcept {
    Queue* queue = ThisQueue();
    if (!queue)
        return false;
    std::lock_guard guard(queue->lock);
    return Take(*queue, msg, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0);
}

std::intptr_t DispatchMessage(const MSG*) noexcept {
    return 0;
}

bool PostThreadMessage(unsigned long threadId, unsigned int message, std::uintptr_t wParam,
                       std::intptr_t lParam) noexcept try {
    QueuePtr queue;
    {
        std::lock_guard guard(g_QueuesLock);
        const auto found = Queues().find(threadId);
        if (found != Queues().end())
            queue = found->second;
    }
    if (!queue) {
        Zym::SetLastError(Zym::ERROR_INVALID_THREAD_ID);
        return false;
    }
    std::unique_lock guard(queue->lock);
    if (queue->ended) {
        Zym::SetLastError(Zym::ERROR_INVALID_THREAD_ID);
        return false;
    }
    if (queue->messages.size() >= MAX_POSTED_MESSAGES) {
        Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    queue->messages.push_back(MSG{message, wParam, lParam, TickCount()});
    if (queue->messages.size() == 1 && !WriteSignal(queue->signal.Get())) {
        Zym::SetLastErrorFromErrno(errno);
        queue->messages.pop_back();
        return false;
    }
    const bool wake = queue->ownerWaits;
    guard.unlock();
    // The queue lives on while this holds it, even if its thread ends now.
    if (wake)
        queue->posted.notify_one();
    return true;
} catch (const std::bad_alloc&) {
    Zym::SetLastError(Zym::ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

int MessageQueueHandle() noexcept {
    Queue* queue = ThisQueue();
    return queue ? queue->signal.Get() : -1;
}

unsigned long MsgWaitForMultipleObjects(unsigned long count, EventSemaphore* const* events,
                                        unsigned long timeoutMs) noexcept {
    const int fd = MessageQueueHandle();
    if (fd < 0)
        return WAIT_FAILED;
    return WaitForDescriptor(fd, POLLIN, events, count, timeoutMs);
}

} // namespace ZymThread
