#include "Walk.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwfl.h>

namespace ZymDumpHelper {

namespace {

using ZymWindows::DumpHelper::THREAD_GONE;
using ZymWindows::DumpHelper::THREAD_NOT_WALKED;
using ZymWindows::DumpHelper::THREAD_WALKED;

struct WalkState {
    Tracee& tracee;
    ProcessMemory& memory;
    std::size_t next = 0;
    std::string* output = nullptr;
    unsigned frames = 0;
};

TracedThread* Walkable(WalkState& state, pid_t threadId) {
    for (TracedThread& thread : state.tracee.Threads()) {
        if (thread.threadId == threadId)
            return thread.attached && thread.hasRegisters ? &thread : nullptr;
    }
    return nullptr;
}

pid_t NextThread(Dwfl*, void* argument, void** threadArgument) {
    auto& state = *static_cast<WalkState*>(argument);
    auto& threads = state.tracee.Threads();
    while (state.next < threads.size()) {
        TracedThread& thread = threads[state.next++];
        if (thread.attached && thread.hasRegisters) {
            *threadArgument = &thread;
            return thread.threadId;
        }
    }
    return 0;
}

bool GetThread(Dwfl*, pid_t threadId, void* argument, void** threadArgument) {
    TracedThread* thread = Walkable(*static_cast<WalkState*>(argument), threadId);
    *threadArgument = thread;
    return thread != nullptr;
}

bool MemoryRead(Dwfl*, Dwarf_Addr address, Dwarf_Word* result, void* argument) {
    std::uint64_t word = 0;
    if (!static_cast<WalkState*>(argument)->memory.ReadWord(address, word))
        return false;
    *result = word;
    return true;
}

bool SetInitialRegisters(Dwfl_Thread* thread, void* threadArgument) {
    const user_regs_struct& r = static_cast<TracedThread*>(threadArgument)->registers;
    // DWARF register numbers 0 to 16 of x86-64; 16 is the return address.
    const Dwarf_Word registers[17] = {r.rax, r.rdx, r.rcx, r.rbx, r.rsi, r.rdi, r.rbp, r.rsp, r.r8,
                                      r.r9,  r.r10, r.r11, r.r12, r.r13, r.r14, r.r15, r.rip};
    dwfl_thread_state_register_pc(thread, r.rip);
    return dwfl_thread_state_registers(thread, 0, 17, registers);
}

// Tabs and line ends would break the line format.
std::string Field(const char* text) {
    std::string field = text != nullptr ? text : "";
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return field;
}

// The symbol's name as written in the source: demangled, without the
// symbol version of a versioned symbol ("@@GLIBC_2.34").
std::string Demangled(const char* symbol) {
    const std::string name(symbol, std::strcspn(symbol, "@"));
    int status = 0;
    char* plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (plain == nullptr)
        return name;
    std::string text = plain;
    std::free(plain);
    return text;
}

// The source file and line of an address. libdw finds the compilation unit
// through .debug_aranges, which clang does not write by default; without
// it every unit is asked whether it holds the address.
void SourceLine(Dwfl_Module* module, Dwarf_Addr address, std::string& source, int& line) {
    if (Dwfl_Line* found = dwfl_module_getsrc(module, address)) {
        if (const char* file = dwfl_lineinfo(found, nullptr, &line, nullptr, nullptr, nullptr))
            source = Field(file);
        return;
    }
    Dwarf_Addr bias = 0;
    Dwarf* dwarf = dwfl_module_getdwarf(module, &bias);
    if (dwarf == nullptr)
        return;
    Dwarf_CU* unit = nullptr;
    Dwarf_Die unitDie;
    while (dwarf_get_units(dwarf, unit, &unit, nullptr, nullptr, &unitDie, nullptr) == 0) {
        if (dwarf_haspc(&unitDie, address - bias) <= 0)
            continue;
        Dwarf_Line* found = dwarf_getsrc_die(&unitDie, address - bias);
        const char* file = found != nullptr ? dwarf_linesrc(found, nullptr, nullptr) : nullptr;
        if (file != nullptr && dwarf_lineno(found, &line) == 0)
            source = Field(file);
        return;
    }
}

int OnFrame(Dwfl_Frame* frame, void* argument) {
    auto& state = *static_cast<WalkState*>(argument);
    Dwarf_Addr pc = 0;
    bool activation = false;
    if (!dwfl_frame_pc(frame, &pc, &activation))
        return DWARF_CB_ABORT;
    ++state.frames;
    // A return address points after the call; the call is what is shown.
    const Dwarf_Addr lookup = activation ? pc : pc - 1;
    Dwfl* dwfl = dwfl_thread_dwfl(dwfl_frame_thread(frame));
    Dwfl_Module* module = dwfl_addrmodule(dwfl, lookup);
    std::string moduleName;
    std::string function;
    std::string source;
    Dwarf_Addr functionAddress = 0;
    int line = 0;
    bool symbol = false;
    if (module != nullptr) {
        const char* name =
            dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        moduleName = Field(name);
        moduleName = moduleName.substr(moduleName.find_last_of('/') + 1);
        GElf_Off offset = 0;
        GElf_Sym sym;
        if (const char* symbolName =
                dwfl_module_addrinfo(module, lookup, &offset, &sym, nullptr, nullptr, nullptr)) {
            symbol = true;
            function = Field(Demangled(symbolName).c_str());
            functionAddress = lookup - offset;
        }
        SourceLine(module, lookup, source, line);
    }
    char head[96];
    std::snprintf(head, sizeof head, "F %lx %d %lx %d\t", static_cast<unsigned long>(pc),
                  symbol ? 1 : 0, static_cast<unsigned long>(functionAddress), line);
    *state.output += head + moduleName + "\t" + function + "\t" + source + "\n";
    return DWARF_CB_OK;
}

} // namespace

std::string WalkThreads(Tracee& tracee, ProcessMemory& memory) {
    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo,
                                             nullptr, nullptr};
    static const Dwfl_Thread_Callbacks threadCallbacks = {
        NextThread, GetThread, MemoryRead, SetInitialRegisters, nullptr, nullptr};
    WalkState state{tracee, memory};
    Dwfl* dwfl = dwfl_begin(&callbacks);
    bool attached = false;
    if (dwfl != nullptr && dwfl_linux_proc_report(dwfl, tracee.ProcessId()) == 0 &&
        dwfl_report_end(dwfl, nullptr, nullptr) == 0)
        attached = dwfl_attach_state(dwfl, nullptr, tracee.ProcessId(), &threadCallbacks, &state);

    std::string output;
    for (TracedThread& thread : tracee.Threads()) {
        std::string frames;
        state.output = &frames;
        state.frames = 0;
        if (attached && Walkable(state, thread.threadId) != nullptr)
            dwfl_getthread_frames(dwfl, thread.threadId, OnFrame, &state);
        const int threadState = thread.gone         ? THREAD_GONE
                                : state.frames == 0 ? THREAD_NOT_WALKED
                                                    : THREAD_WALKED;
        char head[64];
        std::snprintf(head, sizeof head, "T %lx %d\n", static_cast<unsigned long>(thread.threadId),
                      threadState);
        output += head + frames;
    }
    output += "E\n";
    if (dwfl != nullptr)
        dwfl_end(dwfl);
    return output;
}

} // namespace ZymDumpHelper
