#pragma once

#include <Zym/Export.h>

#include <ZymThread/EventSemaphore.h>

#include <cstddef>
#include <cstdint>

// Per-thread message queues, as Win32 gives every thread that asks for one.
// A thread's queue is made the first time the thread reads it (GetMessage,
// PeekMessage, MsgWaitForMultipleObjects) and dies with the thread; what it
// still holds then is dropped. Any thread may post to a
// thread that has a queue.
// <windows.h> maps these names to its wide functions with macros; the
// framework's functions keep their own names.
#pragma push_macro("GetMessage")
#pragma push_macro("PeekMessage")
#pragma push_macro("DispatchMessage")
#pragma push_macro("PostThreadMessage")
#undef GetMessage
#undef PeekMessage
#undef DispatchMessage
#undef PostThreadMessage

namespace ZymThread {

#if !defined(WM_NULL)
inline constexpr unsigned int WM_NULL = 0x0000;
#endif
#if !defined(WM_QUIT)
inline constexpr unsigned int WM_QUIT = 0x0012;
#endif
#if !defined(WM_USER)
inline constexpr unsigned int WM_USER = 0x0400;
#endif

// PeekMessage: leave the message in the queue, or take it out.
#if !defined(PM_NOREMOVE)
inline constexpr unsigned int PM_NOREMOVE = 0x0000;
#endif
#if !defined(PM_REMOVE)
inline constexpr unsigned int PM_REMOVE = 0x0001;
#endif

// A queue holds at most this many posted messages; a further post fails
// with 1816 (ERROR_NOT_ENOUGH_QUOTA) until the owner reads some.
inline constexpr std::size_t MAX_POSTED_MESSAGES = 10000;

// A posted thread message.
struct ZYM_EXPORT MSG {
    unsigned int message = WM_NULL;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // When it was posted: milliseconds of the monotonic clock, as
    // GetTickCount counts them (wraps after 49.7 days).
    unsigned long time = 0;
};

// The system's id of the calling thread.
ZYM_EXPORT unsigned long GetCurrentThreadId() noexcept;

// Message filters: a message passes when `filterMin` <= message <=
// `filterMax`, or always when both are 0. WM_QUIT passes every filter.
// Messages leave the queue in the order they were posted.

// Waits for the next message that passes the filter and takes it out:
// 1 for a message, 0 for WM_QUIT, -1 with the last error set when the
// calling thread cannot have a queue.
ZYM_EXPORT int GetMessage(MSG* msg, unsigned int filterMin = 0,
                          unsigned int filterMax = 0) noexcept;

// Does not wait: true with the first message that passes the filter (taken
// out with PM_REMOVE), false when there is none (or no queue could be made,
// with the last error set).
ZYM_EXPORT bool PeekMessage(MSG* msg, unsigned int filterMin, unsigned int filterMax,
                            unsigned int removeMsg) noexcept;

// Thread messages have no window procedure to go to: nothing is called and
// the result is 0, as for a Win32 thread message.
ZYM_EXPORT std::intptr_t DispatchMessage(const MSG* msg) noexcept;

// Appends a message to the queue of thread `threadId`. False with the last
// error set: 1444 (ERROR_INVALID_THREAD_ID) when that thread has no queue
// (it never read one, has ended or never existed), 1816 when its queue is
// full.
ZYM_EXPORT bool PostThreadMessage(unsigned long threadId, unsigned int message,
                                  std::uintptr_t wParam, std::intptr_t lParam) noexcept;

// MsgWaitForMultipleObjects with wait-all false: WAIT_OBJECT_0 + i for
// event i (auto-reset events consumed), WAIT_OBJECT_0 + count while the
// calling thread's queue holds a message, WAIT_TIMEOUT or WAIT_FAILED (last
// error set). Events win over the queue when both are ready. `count` may
// be 0.
ZYM_EXPORT unsigned long MsgWaitForMultipleObjects(unsigned long count,
                                                   EventSemaphore* const* events,
                                                   unsigned long timeoutMs = INFINITE) noexcept;

} // namespace ZymThread

#pragma pop_macro("PostThreadMessage")
#pragma pop_macro("DispatchMessage")
#pragma pop_macro("PeekMessage")
#pragma pop_macro("GetMessage")
