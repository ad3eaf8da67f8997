#include "CoreWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/procfs.h>
#include <unistd.h>
#include <vector>

namespace ZymDumpHelper {

namespace {

constexpr std::uint64_t PAGE = 4096;

struct Mapping {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t offset = 0;
    std::string permissions;
    std::string path;
    bool doNotDump = false;
    bool written = false; // holds private copies of pages: relocations, say
    std::uint64_t dumpSize = 0;
};

std::string ProcFile(pid_t processId, const char* name) {
    std::ifstream file("/proc/" + std::to_string(processId) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The mappings from /proc/PID/smaps, which also tell which ones asked not
// to be dumped (madvise MADV_DONTDUMP) and which were written to.
std::vector<Mapping> ReadMappings(pid_t processId) {
    std::vector<Mapping> mappings;
    std::istringstream lines(ProcFile(processId, "smaps"));
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        char permissions[8] = {};
        unsigned long long offset = 0;
        int pathAt = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %7s %llx %*s %*s %n", &start, &end, permissions,
                        &offset, &pathAt) == 4 &&
            pathAt > 0) {
            Mapping& mapping = mappings.emplace_back();
            mapping.start = start;
            mapping.end = end;
            mapping.permissions = permissions;
            mapping.offset = offset;
            mapping.path = line.substr(static_cast<std::size_t>(pathAt));
        } else if (line.rfind("Anonymous:", 0) == 0 && !mappings.empty()) {
            unsigned long long kilobytes = 0;
            std::sscanf(line.c_str() + 10, "%llu", &kilobytes);
            mappings.back().written = kilobytes != 0;
        } else if (line.rfind("VmFlags:", 0) == 0 && !mappings.empty()) {
            mappings.back().doNotDump = line.find(" dd") != std::string::npos;
        }
    }
    // The legacy vsyscall page lies outside the process's address space.
    std::erase_if(mappings, [](const Mapping& m) { return m.path == "[vsyscall]"; });
    return mappings;
}

std::uint64_t DumpSize(const Mapping& mapping, bool full) {
    const std::uint64_t size = mapping.end - mapping.start;
    if (mapping.permissions[0] != 'r' || mapping.doNotDump || mapping.path.rfind("[vvar", 0) == 0 ||
        mapping.path.rfind("/dev/", 0) == 0)
        return 0;
    const bool fileBacked = !mapping.path.empty() && mapping.path[0] == '/';
    if (!fileBacked || mapping.permissions[1] == 'w' || mapping.written || full)
        return size;
    // The ELF headers, by which a debugger recognises the file.
    return mapping.offset == 0 ? std::min(size, PAGE) : 0;
}

void AddNote(std::string& notes, std::uint32_t type, const void* data, std::size_t size) {
    static const char NAME[8] = "CORE";
    Elf64_Nhdr header{};
    header.n_namesz = 5;
    header.n_descsz = static_cast<Elf64_Word>(size);
    header.n_type = type;
    notes.append(reinterpret_cast<const char*>(&header), sizeof header);
    notes.append(NAME, 8);
    notes.append(static_cast<const char*>(data), size);
    notes.append((4 - size % 4) % 4, '\0');
}

void AddFileNote(std::string& notes, const std::vector<Mapping>& mappings) {
    std::vector<std::uint64_t> words{0, PAGE};
    std::string names;
    for (const Mapping& mapping : mappings) {
        if (mapping.path.empty() || mapping.path[0] != '/')
            continue;
        ++words[0];
        words.insert(words.end(), {mapping.start, mapping.end, mapping.offset / PAGE});
        names += mapping.path;
        names += '\0';
    }
    // The entries, then the names in the same order.
    std::string description(reinterpret_cast<const char*>(words.data()),
                            words.size() * sizeof(std::uint64_t));
    description += names;
    AddNote(notes, NT_FILE, description.data(), description.size());
}

void AddProcessInfo(std::string& notes, pid_t processId) {
    elf_prpsinfo info{};
    info.pr_pid = processId;
    info.pr_ppid = getpid() == processId ? 0 : getppid();
    std::string name = ProcFile(processId, "comm");
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    std::strncpy(info.pr_fname, name.c_str(), sizeof info.pr_fname - 1);
    std::string arguments = ProcFile(processId, "cmdline");
    std::replace(arguments.begin(), arguments.end(), '\0', ' ');
    std::strncpy(info.pr_psargs, arguments.c_str(), sizeof info.pr_psargs - 1);
    info.pr_sname = 'R';
    AddNote(notes, NT_PRPSINFO, &info, sizeof info);
}

void AddThread(std::string& notes, const TracedThread& thread, pid_t processId, int signal) {
    elf_prstatus status{};
    status.pr_info.si_signo = signal;
    status.pr_cursig = static_cast<short>(signal);
    status.pr_pid = thread.threadId;
    status.pr_pgrp = getpgid(processId);
    status.pr_sid = getsid(processId);
    static_assert(sizeof status.pr_reg == sizeof thread.registers);
    std::memcpy(&status.pr_reg, &thread.registers, sizeof status.pr_reg);
    status.pr_fpvalid = 1;
    AddNote(notes, NT_PRSTATUS, &status, sizeof status);
    AddNote(notes, NT_FPREGSET, &thread.fpRegisters, sizeof thread.fpRegisters);
}

bool WriteAll(int file, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(file, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

Elf64_Word SegmentFlags(const std::string& permissions) {
    return (permissions[0] == 'r' ? PF_R : 0) | (permissions[1] == 'w' ? PF_W : 0) |
           (permissions[2] == 'x' ? PF_X : 0);
}

} // namespace

bool WriteCore(Tracee& tracee, ProcessMemory& memory,
               const ZymWindows::DumpHelper::Request& request, int file) {
    const pid_t processId = tracee.ProcessId();
    const bool full = request.job == ZymWindows::DumpHelper::Job::CORE_FULL;
    std::vector<Mapping> mappings = ReadMappings(processId);
    for (Mapping& mapping : mappings)
        mapping.dumpSize = DumpSize(mapping, full);

    std::string notes;
    std::vector<const TracedThread*> threads;
    for (const TracedThread& thread : tracee.Threads()) {
        if (thread.hasRegisters)
            threads.push_back(&thread);
    }
    std::stable_partition(threads.begin(), threads.end(), [&](const TracedThread* thread) {
        return thread->threadId == request.failingThread;
    });
    for (std::size_t i = 0; i < threads.size(); ++i) {
        // Every thread's note carries the process's fatal signal, as a
        // kernel core does; debuggers read it from the last one.
        AddThread(notes, *threads[i], processId, request.signal);
        if (i == 0) {
            AddProcessInfo(notes, processId);
            const std::string auxv = ProcFile(processId, "auxv");
            AddNote(notes, NT_AUXV, auxv.data(), auxv.size());
            AddFileNote(notes, mappings);
        }
    }

    const std::size_t segments = 1 + mappings.size();
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_ident[EI_OSABI] = ELFOSABI_NONE;
    header.e_type = ET_CORE;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof header;
    header.e_ehsize = sizeof header;
    header.e_phentsize = sizeof(Elf64_Phdr);
    if (segments >= PN_XNUM)
        return false;
    header.e_phnum = static_cast<Elf64_Half>(segments);

    std::vector<Elf64_Phdr> programHeaders(segments);
    const std::uint64_t notesAt = sizeof header + segments * sizeof(Elf64_Phdr);
    programHeaders[0].p_type = PT_NOTE;
    programHeaders[0].p_offset = notesAt;
    programHeaders[0].p_filesz = notes.size();
    programHeaders[0].p_align = 4;
    std::uint64_t dataAt = (notesAt + notes.size() + PAGE - 1) / PAGE * PAGE;
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        Elf64_Phdr& segment = programHeaders[i + 1];
        segment.p_type = PT_LOAD;
        segment.p_flags = SegmentFlags(mappings[i].permissions);
        segment.p_offset = dataAt;
        segment.p_vaddr = mappings[i].start;
        segment.p_filesz = mappings[i].dumpSize;
        segment.p_memsz = mappings[i].end - mappings[i].start;
        segment.p_align = PAGE;
        dataAt += mappings[i].dumpSize;
    }

    std::string head(reinterpret_cast<const char*>(&header), sizeof header);
    head.append(reinterpret_cast<const char*>(programHeaders.data()),
                programHeaders.size() * sizeof(Elf64_Phdr));
    head += notes;
    head.resize(programHeaders.size() > 1 ? programHeaders[1].p_offset : head.size(), '\0');
    if (!WriteAll(file, head.data(), head.size()))
        return false;
    std::vector<char> buffer(1 << 20);
    for (const Mapping& mapping : mappings) {
        for (std::uint64_t done = 0; done < mapping.dumpSize;) {
            const std::size_t chunk = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer.size(), mapping.dumpSize - done));
            const std::size_t got = memory.Read(mapping.start + done, buffer.data(), chunk);
            // What cannot be read is written as zeros.
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
                      buffer.begin() + static_cast<std::ptrdiff_t>(chunk), '\0');
            if (!WriteAll(file, buffer.data(), chunk))
                return false;
            done += chunk;
        }
    }
    return true;
}

} // namespace ZymDumpHelper
