#include "pipe/PipePlatform.h"

#include "pipe/win32/PipeOverlapped.h"

#include <cstring>
#include <vector>

namespace ZymWindows::Platform {

namespace {

// The system tells a writer that the reader went in ways of its own; the
// family knows them all as a broken pipe.
unsigned long AsBrokenPipe(unsigned long error) {
    if (error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED) {
        ::SetLastError(ERROR_BROKEN_PIPE);
        return ERROR_BROKEN_PIPE;
    }
    return error;
}

} // namespace

unsigned long WritePipe(const Zym::Handle& pipe, const PipeWritePiece* pieces, unsigned int count,
                        ZymThread::EventSemaphore* shutdown, unsigned int& done,
                        unsigned long timeLimitMs) {
    // One write is one message: the pieces go out as one block.
    std::vector<unsigned char> block;
    for (unsigned int i = 0; i < count; ++i) {
        const auto* data = static_cast<const unsigned char*>(pieces[i].data);
        block.insert(block.end(), data, data + pieces[i].size);
    }
    Win32::Overlapped overlapped;
    if (!overlapped.IsValid())
        return ::GetLastError();
    const BOOL started = ::WriteFile(pipe.Get(), block.data(), static_cast<DWORD>(block.size()),
                                     nullptr, overlapped.Get());
    DWORD moved = 0;
    const unsigned long error =
        overlapped.Finish(pipe.Get(), started, shutdown, timeLimitMs, moved);
    done = moved;
    return AsBrokenPipe(error);
}

unsigned long ReadPipe(const Zym::Handle& pipe, const PipeReadPiece* pieces, unsigned int count,
                       unsigned int, ZymThread::EventSemaphore* shutdown, unsigned int& done,
                       unsigned long timeLimitMs) {
    unsigned int total = 0;
    for (unsigned int i = 0; i < count; ++i)
        total += pieces[i].size;
    std::vector<unsigned char> block(total);
    Win32::Overlapped overlapped;
    if (!overlapped.IsValid())
        return ::GetLastError();
    // A read returns with one message, or with as much of it as fits: a
    // longer message is ERROR_MORE_DATA and its rest comes with the next
    // read, which is all a stream needs.
    const BOOL started = ::ReadFile(pipe.Get(), block.data(), total, nullptr, overlapped.Get());
    DWORD moved = 0;
    unsigned long error = overlapped.Finish(pipe.Get(), started, shutdown, timeLimitMs, moved);
    if (error == ERROR_MORE_DATA)
        error = ERROR_SUCCESS;
    if (error == ERROR_SUCCESS && moved == 0) {
        // An empty message is never written; a read of nothing is the end.
        ::SetLastError(ERROR_BROKEN_PIPE);
        error = ERROR_BROKEN_PIPE;
    }
    if (error != ERROR_SUCCESS)
        return AsBrokenPipe(error);
    done = moved;
    const unsigned char* from = block.data();
    for (unsigned int i = 0; i < count && moved > 0; ++i) {
        const DWORD part = moved < pieces[i].size ? moved : pieces[i].size;
        std::memcpy(pieces[i].data, from, part);
        from += part;
        moved -= part;
    }
    return ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
