#include "Walk.h"

#include "dump/ReportLayout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elfutils/libdw.h>

namespace ZymDumpHelper {

struct StackWalker::State {
    Tracee& tracee;
    ProcessMemory& memory;
    std::ostream* stream = nullptr;
    unsigned frames = 0;
};

namespace {

using State = StackWalker::State;

TracedThread* Walkable(State& state, pid_t threadId) {
    for (TracedThread& thread : state.tracee.Threads()) {
        if (thread.threadId == threadId)
            return thread.stopped && thread.hasRegisters ? &thread : nullptr;
    }
    return nullptr;
}

// Threads are walked one at a time, by id: libdwfl never lists them.
pid_t NextThread(Dwfl*, void*, void**) {
    return 0;
}

bool GetThread(Dwfl*, pid_t threadId, void* argument, void** threadArgument) {
    TracedThread* thread = Walkable(*static_cast<State*>(argument), threadId);
    *threadArgument = thread;
    return thread != nullptr;
}

bool MemoryRead(Dwfl*, Dwarf_Addr address, Dwarf_Word* result, void* argument) {
    std::uint64_t word = 0;
    if (!static_cast<State*>(argument)->memory.ReadWord(address, word))
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
    auto& state = *static_cast<State*>(argument);
    Dwarf_Addr pc = 0;
    bool activation = false;
    if (!dwfl_frame_pc(frame, &pc, &activation))
        return DWARF_CB_ABORT;
    ++state.frames;
    // A return address points after the call; the call is what is shown.
    const Dwarf_Addr lookup = activation ? pc : pc - 1;
    Dwfl* dwfl = dwfl_thread_dwfl(dwfl_frame_thread(frame));
    ZymWindows::Dump::StackFrame found;
    found.pc = static_cast<std::uintptr_t>(pc);
    ZymWindows::ProcessDump::FunctionInfo& info = found.info;
    if (Dwfl_Module* module = dwfl_addrmodule(dwfl, lookup)) {
        const char* name =
            dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        info.ModuleName = Field(name);
        info.ModuleName.erase(0, info.ModuleName.find_last_of('/') + 1);
        GElf_Off offset = 0;
        GElf_Sym symbol;
        if (const char* symbolName =
                dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr)) {
            found.hasSymbol = true;
            info.FunctionName = Field(Demangled(symbolName).c_str());
            info.FunctionAddress = static_cast<std::uintptr_t>(lookup - offset);
        }
        int line = 0;
        SourceLine(module, lookup, info.SourceFile, line);
        info.Line = static_cast<unsigned long>(line);
    }
    ZymWindows::Dump::WriteFrame(*state.stream, found);
    return DWARF_CB_OK;
}

const Dwfl_Callbacks CALLBACKS = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo, nullptr,
                                  nullptr};
const Dwfl_Thread_Callbacks THREAD_CALLBACKS = {NextThread,          GetThread, MemoryRead,
                                                SetInitialRegisters, nullptr,   nullptr};

} // namespace

StackWalker::StackWalker(Tracee& tracee, ProcessMemory& memory)
    : m_State(new State{tracee, memory}), m_Dwfl(dwfl_begin(&CALLBACKS)) {
    if (m_Dwfl != nullptr && dwfl_linux_proc_report(m_Dwfl, tracee.ProcessId()) == 0 &&
        dwfl_report_end(m_Dwfl, nullptr, nullptr) == 0)
        m_Attached = dwfl_attach_state(m_Dwfl, nullptr, tracee.ProcessId(), &THREAD_CALLBACKS,
                                       m_State.get());
}

StackWalker::~StackWalker() {
    if (m_Dwfl != nullptr)
        dwfl_end(m_Dwfl);
}

unsigned StackWalker::Walk(TracedThread& thread, std::ostream& stream) {
    if (!m_Attached || Walkable(*m_State, thread.threadId) == nullptr)
        return 0;
    // The page kept from the last walk may be another thread's stack,
    // which has moved on since.
    m_State->memory.Forget();
    m_State->stream = &stream;
    m_State->frames = 0;
    dwfl_getthread_frames(m_Dwfl, thread.threadId, OnFrame, m_State.get());
    return m_State->frames;
}

} // namespace ZymDumpHelper
