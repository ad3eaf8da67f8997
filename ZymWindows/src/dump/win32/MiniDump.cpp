#include "dump/DumpPlatform.h"

#include "dump/win32/DumpTarget.h"
#include "dump/win32/MiniDumpFile.h"

#include <ZymThread/ThisThread.h>

namespace ZymWindows::Platform {

namespace {

using MiniDumpWriteDumpCall = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                            PMINIDUMP_EXCEPTION_INFORMATION,
                                            PMINIDUMP_USER_STREAM_INFORMATION,
                                            PMINIDUMP_CALLBACK_INFORMATION);

// The minidump writer of "NewDbgHelp.dll", looked up when the library is
// loaded and released when it is unloaded; a missing module or entry point
// leaves it empty.
class MiniDumpWriter {
public:
    MiniDumpWriter() : m_Module(::LoadLibraryA("NewDbgHelp.dll")) {
        if (m_Module != nullptr)
            m_Write = reinterpret_cast<MiniDumpWriteDumpCall>(
                reinterpret_cast<void*>(::GetProcAddress(m_Module, "MiniDumpWriteDump")));
    }
    ~MiniDumpWriter() {
        if (m_Module != nullptr)
            ::FreeLibrary(m_Module);
    }
    MiniDumpWriter(const MiniDumpWriter&) = delete;
    MiniDumpWriter& operator=(const MiniDumpWriter&) = delete;

    MiniDumpWriteDumpCall Entry() const noexcept { return m_Write; }

private:
    HMODULE m_Module;
    MiniDumpWriteDumpCall m_Write = nullptr;
};

const MiniDumpWriter g_MiniDumpWriter;

} // namespace

// The minidump is left alone when CreateFileA refuses it (shared with
// another writer, say), and the report's stream is opened once.
const bool MAKE_FILE_THE_WRITER_DID_NOT = false;

bool WriteMiniDumpFile(const char* path, MINIDUMP_TYPE type, const EXCEPTION_POINTERS* exception,
                       unsigned long failingThread, char* written, std::size_t size) noexcept {
    CopyWritten({}, written, size);
    try {
        const std::string file = DumpFile(path, ".dmp");
        const HANDLE handle =
            ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        CopyWritten(file, written, size);
        MINIDUMP_EXCEPTION_INFORMATION information{};
        if (exception != nullptr) {
            information.ThreadId = failingThread;
            information.ExceptionPointers = const_cast<EXCEPTION_POINTERS*>(exception);
            information.ClientPointers = TRUE;
        }
        BOOL dumped = FALSE;
        if (const MiniDumpWriteDumpCall write = g_MiniDumpWriter.Entry()) {
            ZymThread::ThisThread::PrivilegeToken token;
            ZymThread::ThisThread::PrivilegeState previous;
            const bool enabled =
                ZymThread::ThisThread::EnablePrivilege(u"SeDebugPrivilege", token, previous);
            dumped = write(::GetCurrentProcess(), ::GetCurrentProcessId(), handle, type,
                           exception != nullptr ? &information : nullptr, nullptr, nullptr);
            if (enabled)
                ZymThread::ThisThread::RestorePrivilege(token, previous);
        }
        ::CloseHandle(handle);
        return dumped != FALSE;
    } catch (...) {
        // Out of memory before the file was made.
        return false;
    }
}

bool WriteCoreFile(const char* path, bool full, const EXCEPTION_POINTERS* exception,
                   unsigned long failingThread, char* written, std::size_t size) noexcept {
    // MiniDumpWithDataSegs | MiniDumpWithFullMemory | MiniDumpWithHandleData,
    // or MiniDumpWithFullMemory alone.
    const auto type = static_cast<MINIDUMP_TYPE>(
        full ? MiniDumpWithDataSegs | MiniDumpWithFullMemory | MiniDumpWithHandleData
             : MiniDumpWithFullMemory);
    return WriteMiniDumpFile(path, type, exception, failingThread, written, size);
}

} // namespace ZymWindows::Platform
