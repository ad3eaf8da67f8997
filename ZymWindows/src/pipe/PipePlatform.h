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

// At most this many instances of one pipe name exist at once in a process;
// a further server waits until one is closed, and clients find it busy.
inline constexpr unsigned int MAX_PIPE_INSTANCES = 255;

// One server instance of a pipe name: a place for one client connection.
class PipeInstance;

// Creates an instance of the local pipe `path` ("\\.\pipe\NAME"); null
// with the last error set on failure.
PipeInstance* CreatePipeInstance(const std::string& path);
void ClosePipeInstance(PipeInstance* instance) noexcept;

// Keeps the local pipe `path` served while a long-running server is between
// instances (after a failed connection, before the next instance exists),
// so that clients arriving then wait instead of being turned away. Null
// when that is not needed or not possible; release with ClosePipeInstance.
PipeInstance* ReservePipeName(const std::string& path);

// Waits until a client connects to the instance and hands over the
// connected pipe.
unsigned long ConnectPipeInstance(PipeInstance& instance, ZymThread::EventSemaphore* shutdown,
                                  Zym::Handle& pipe);

// The credentials that the system recorded for the client end of a pipe.
unsigned long GetPipeClientToken(const Zym::Handle& pipe, ZymSecurity::AccessTokenPtr& token);

// Opens the client end of the pipe `path` ("\\HOST\pipe\NAME"). When every
// instance is busy the result is ERROR_PIPE_BUSY.
unsigned long OpenPipe(const std::string& path, Zym::Handle& pipe);

// Waits a moment for an instance of a busy pipe to become free.
void WaitForFreeInstance(ZymThread::EventSemaphore* shutdown);

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
// at most MAX_PIPE_PIECES pieces),
// waiting as long as the pipe has no room or no data; `done` receives the
// bytes moved (at least one on success). A peer that has closed its end
// gives ERROR_BROKEN_PIPE.
unsigned long WritePipe(const Zym::Handle& pipe, const PipeWritePiece* pieces, unsigned int count,
                        ZymThread::EventSemaphore* shutdown, unsigned int& done);
// A read may wait until `needed` bytes (at most the total) have arrived
// before it returns; what the pieces can take beyond them, it takes only
// if it is already there.
unsigned long ReadPipe(const Zym::Handle& pipe, const PipeReadPiece* pieces, unsigned int count,
                       unsigned int needed, ZymThread::EventSemaphore* shutdown,
                       unsigned int& done);

} // namespace ZymWindows::Platform
