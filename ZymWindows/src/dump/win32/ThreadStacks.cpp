#include "dump/win32/ThreadStacks.h"

#include "dump/ReportLayout.h"

#include <ZymThread/Thread.h>

#include <Zym/Handle.h>

// After <windows.h>, which ThreadStacks.h includes.
#include <dbghelp.h>
#include <tlhelp32.h>

namespace ZymWindows::Platform {

namespace {

// The file name of a module's image path.
std::string FileNamePart(const char* path) {
    const std::string name(path);
    const std::size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The base of the module holding `address`, loading it into the symbol
// handler the first time one of its addresses is met.
DWORD64 CALLBACK ModuleBase(HANDLE process, DWORD64 address) {
    IMAGEHLP_MODULE module{};
    module.SizeOfStruct = sizeof module;
    if (::SymGetModuleInfo(process, address, &module))
        return module.BaseOfImage;
    MEMORY_BASIC_INFORMATION memory{};
    if (::VirtualQueryEx(process, reinterpret_cast<const void*>(address), &memory, sizeof memory) ==
        0)
        return 0;
    const auto base = reinterpret_cast<DWORD64>(memory.AllocationBase);
    char name[MAX_PATH];
    const DWORD length =
        ::GetModuleFileNameA(static_cast<HMODULE>(memory.AllocationBase), name, MAX_PATH - 1);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (length > 0)
        file =
            ::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD64 loaded =
        ::SymLoadModule(process, file, length > 0 ? name : nullptr, nullptr, base, 0);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return loaded != 0 ? base : 0;
}

// The symbol holding `address`, with its module and source line where
// known; false without a symbol.
bool SymbolAt(HANDLE process, DWORD64 address, ProcessDump::FunctionInfo& info) {
    IMAGEHLP_MODULE module{};
    module.SizeOfStruct = sizeof module;
    if (::SymGetModuleInfo(process, address, &module))
        info.ModuleName = FileNamePart(module.ImageName);
    constexpr DWORD MAX_NAME = 1024;
    alignas(IMAGEHLP_SYMBOL) char buffer[sizeof(IMAGEHLP_SYMBOL) + MAX_NAME] = {};
    auto* symbol = reinterpret_cast<IMAGEHLP_SYMBOL*>(buffer);
    symbol->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL);
    symbol->MaxNameLength = MAX_NAME;
    DWORD64 displacement = 0;
    if (!::SymGetSymFromAddr(process, address, &displacement, symbol))
        return false;
    info.FunctionName = symbol->Name;
    info.FunctionAddress = static_cast<std::uintptr_t>(symbol->Address);
    IMAGEHLP_LINE line{};
    line.SizeOfStruct = sizeof line;
    DWORD lineDisplacement = 0;
    if (::SymGetLineFromAddr(process, address, &lineDisplacement, &line) &&
        line.FileName != nullptr) {
        info.SourceFile = line.FileName;
        info.Line = line.LineNumber;
    }
    return true;
}

// Writes the frames of `thread` from `context`, innermost first, each as
// soon as it is found. The thread may be running: its stack is read as it
// is now, and the walk ends where dbghelp's does or where the stack pointer
// stops growing (a damaged or moving stack would otherwise repeat).
void WalkStack(std::ostream& stream, HANDLE process, HANDLE thread, CONTEXT context) {
    // The x86-64 machine and registers; a 32-bit build would walk as I386
    // from Eip, Esp and Ebp.
    STACKFRAME frame{};
    frame.AddrPC.Offset = context.Rip;
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrStack.Offset = context.Rsp;
    frame.AddrStack.Mode = AddrModeFlat;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrFrame.Mode = AddrModeFlat;
    DWORD64 previousStack = 0;
    while (::StackWalk(IMAGE_FILE_MACHINE_AMD64, process, thread, &frame, &context, nullptr,
                       ::SymFunctionTableAccess, ModuleBase, nullptr)) {
        if (frame.AddrPC.Offset == 0 ||
            (previousStack != 0 && frame.AddrStack.Offset <= previousStack))
            break;
        previousStack = frame.AddrStack.Offset;
        Dump::StackFrame found;
        found.pc = static_cast<std::uintptr_t>(frame.AddrPC.Offset);
        found.hasSymbol = SymbolAt(process, frame.AddrPC.Offset, found.info);
        Dump::WriteFrame(stream, found);
    }
}

// Another thread, walked from its registers as they are now; it goes on
// running. Nothing when they cannot be read.
void WalkOther(std::ostream& stream, HANDLE process, HANDLE thread) {
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    if (::GetThreadContext(thread, &context))
        WalkStack(stream, process, thread, context);
}

// The calling thread, walked from here.
[[gnu::noinline]] void WalkSelf(std::ostream& stream, HANDLE process, HANDLE thread) {
    CONTEXT context{};
    ::RtlCaptureContext(&context);
    WalkStack(stream, process, thread, context);
}

} // namespace

std::vector<DWORD> ProcessThreadIds() {
    std::vector<DWORD> ids;
    const Zym::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.IsValid())
        return ids;
    const DWORD self = ::GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more;
         more = ::Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == self)
            ids.push_back(entry.th32ThreadID);
    }
    return ids;
}

SymbolSession::SymbolSession() : m_Process(::GetCurrentProcess()) {
    ::SymSetOptions(::SymGetOptions() | SYMOPT_LOAD_LINES);
    ::SymInitialize(m_Process, nullptr, FALSE);
}

SymbolSession::~SymbolSession() {
    ::SymCleanup(m_Process);
}

void SymbolSession::WriteThread(std::ostream& stream, DWORD threadId,
                                const CONTEXT* context) const {
    const Zym::Handle thread(::OpenThread(THREAD_ALL_ACCESS, FALSE, threadId));
    if (!thread.IsValid())
        return;
    std::string name;
    ZymThread::FindThreadName(threadId, name);
    Dump::WriteThreadHead(stream, threadId, name, context != nullptr);
    if (context != nullptr)
        WalkStack(stream, m_Process, thread.Get(), *context);
    else if (threadId == ::GetCurrentThreadId())
        WalkSelf(stream, m_Process, thread.Get());
    else
        WalkOther(stream, m_Process, thread.Get());
    Dump::WriteThreadEnd(stream);
}

} // namespace ZymWindows::Platform
