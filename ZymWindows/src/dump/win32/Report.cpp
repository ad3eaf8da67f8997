#include "dump/DumpPlatform.h"

#include "dump/ReportLayout.h"
#include "dump/win32/CrashWriter.h"
#include "dump/win32/DumpTarget.h"
#include "dump/win32/ProcessValues.h"
#include "dump/win32/ThreadStacks.h"

#include <fstream>

namespace ZymWindows::Platform {

bool WriteReport(const char* path, unsigned long failingThread, const CONTEXT* context,
                 char* written, std::size_t size) noexcept {
    CopyWritten({}, written, size);
    try {
        const std::string file = DumpFile(path, ".txt");
        // Text mode: lines end in CR LF.
        std::ofstream stream(file, std::ios::out | std::ios::trunc);
        if (!stream)
            return false;
        CopyWritten(file, written, size);
        Dump::WriteHeader(stream, ProcessHeader());
        const SymbolSession symbols;
        const unsigned long writer = CrashWriterThread();
        for (const DWORD threadId : ProcessThreadIds()) {
            if (threadId != writer)
                symbols.WriteThread(stream, threadId,
                                    threadId == failingThread ? context : nullptr);
        }
        stream.close();
        return !stream.fail();
    } catch (...) {
        // Out of memory: the report ends where it got to.
        return false;
    }
}

} // namespace ZymWindows::Platform
