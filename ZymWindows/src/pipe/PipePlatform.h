#pragma once

#include <ZymSecurity/NetworkSecurity.h>

#include <Zym/Handle.h>

#include <string>

namespace ZymThread {
class EventSemaphore;
}

// What the named-pipe family asks of the operating system. Every function
// reports failure as a Win32 error number, also left as the thread's last
// error; waits end early with ERROR_OPERATION_ABORTED when the shutdown
// event (which may be null) is signalled.
namespace ZymWindows::Platform {

// The instance count of a pipe name. On Linux at most this many exist at
// once in a process; creating one more fails with ERROR_PIPE_BUSY, and
// clients find it busy. Windows reads the same number, 255, as
// PIPE_UNLIMITED_INSTANCES: the system's resources are the only limit.
inline constexpr unsigned int MAX_PIPE_INSTANCES = 255;

// One server instance of a pipe name: a place for one client connection.
class PipeInstance;

// Creates an instance of the local pipe `path` ("\\.\pipe\NAME"); null
// with the last error set on failure (on Linux ERROR_PIPE_BUSY when the
// name has MAX_PIPE_INSTANCES instances already).
PipeInstance* CreatePipeInstance(const std::string& path);
void ClosePipeInstance(PipeInstance* instance) noexcept;

// Keeps the local pipe `path` served while a long-running server is between
// instances (after a failed connection, before the next instance exists),
// so that clients arriving then wait instead of being turned away. It is
// not an instance of its own. Null when that is not needed or not possible;
// release with ClosePipeInstance.
PipeInstance* ReservePipeName(const std::string& path);

// Waits until the reserved pipe name has room for another instance:
// ERROR_SUCCESS, or ERROR_OPERATION_ABORTED for the shutdown event.
unsigned long WaitForInstancePlace(PipeInstance& reservation, ZymThread::EventSemaphore* shutdown);

// Waits until a client connects to the instance and hands over the
// connected pipe.
unsigned long ConnectPipeInstance(PipeInstance& instance, ZymThread::EventSemaphore* shutdown,
                                  Zym::Handle& pipe);

// The credentials that the system recorded for the client end of a pipe.
unsigned long GetPipeClientToken(const Zym::Handle& pipe, ZymSecurity::AccessTokenPtr& token);

// Opens the client end of the pipe `path` ("\\HOST\pipe\NAME"). The pipe is
// open once a server instance has taken the connection; until then the
// result is ERROR_PIPE_BUSY and `pipe` holds the waiting connection, which
// the next call with the same `pipe` checks again instead of queuing anew.
// A pipe whose server has gone is ERROR_FILE_NOT_FOUND.
unsigned long OpenPipe(const std::string& path, Zym::Handle& pipe);

// Waits a while (at most the pipe's default time-out) for the busy pipe
// `path` to take the waiting connection in `pipe`, or for an instance to
// become free, or for the shutdown event, which it leaves signalled for the
// caller.
void WaitForFreeInstance(const std::string& path, const Zym::Handle& pipe,
                         ZymThread::EventSemaphore* shutdown);

// No time limit on a transfer.
inline constexpr unsigned long NO_TIME_LIMIT = 0xFFFFFFFFUL;

// One piece of a gathered transfer: the pieces of one call are moved in
// order, as if they were one contiguous block.
struct PipeWritePiece {
    const void* data;
    unsigned int size;
};
struct PipeReadPiece {
    void* data;
    unsigned int size;
};

inline constexpr unsigned int MAX_PIPE_PIECES = 4;

// One transfer of at most the pieces' total size (which must not be zero;
// at most MAX_PIPE_PIECES pieces), waiting as long as the pipe has no room
// or no data, but at most `timeLimitMs` (then ERROR_TIMEOUT); `done`
// receives the bytes moved (at least one on success). A peer that has
// closed its end gives ERROR_BROKEN_PIPE. When the pipe and the shutdown
// event are ready together, the transfer wins, as the I/O completion comes
// first in a Win32 wait.
unsigned long WritePipe(const Zym::Handle& pipe, const PipeWritePiece* pieces, unsigned int count,
                        ZymThread::EventSemaphore* shutdown, unsigned int& done,
                        unsigned long timeLimitMs = NO_TIME_LIMIT);
// A read may wait until `needed` bytes (at most the total) have arrived
// before it returns; what the pieces can take beyond them, it takes only
// if it is already there.
unsigned long ReadPipe(const Zym::Handle& pipe, const PipeReadPiece* pieces, unsigned int count,
                       unsigned int needed, ZymThread::EventSemaphore* shutdown, unsigned int& done,
                       unsigned long timeLimitMs = NO_TIME_LIMIT);

} // namespace ZymWindows::Platform
