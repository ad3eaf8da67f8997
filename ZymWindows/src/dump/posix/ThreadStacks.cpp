#include "dump/DumpPlatform.h"
#include "dump/posix/HelperProcess.h"

#include <ZymThread/Thread.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <ucontext.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// The framework's name of a thread, else the kernel's (15 bytes at most).
std::string ThreadName(unsigned long threadId) {
    std::string name;
    if (ZymThread::FindThreadName(threadId, name))
        return name;
    std::ifstream comm("/proc/self/task/" + std::to_string(threadId) + "/comm");
    std::getline(comm, name);
    return name;
}

bool ParseFrame(const std::string& line, Dump::StackFrame& frame) {
    int symbol = 0;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "F %lx %d %lx %lu\t%n", &frame.pc, &symbol,
                    &frame.info.FunctionAddress, &frame.info.Line, &consumed) != 4 ||
        consumed == 0)
        return false;
    frame.hasSymbol = symbol != 0;
    std::istringstream fields(line.substr(static_cast<std::size_t>(consumed)));
    std::getline(fields, frame.info.ModuleName, '\t');
    std::getline(fields, frame.info.FunctionName, '\t');
    std::getline(fields, frame.info.SourceFile, '\t');
    return true;
}

// Reads the helper's walk; true when it reached its end.
bool ParseWalk(const std::string& text, unsigned long failingThread,
               std::vector<Dump::ThreadStack>& threads) {
    std::istringstream lines(text);
    std::string line;
    bool keep = false;
    while (std::getline(lines, line)) {
        if (line == "E")
            return true;
        if (line.rfind("T ", 0) == 0) {
            unsigned long threadId = 0;
            int state = 0;
            if (std::sscanf(line.c_str(), "T %lx %d", &threadId, &state) != 2)
                return false;
            keep = state != DumpHelper::THREAD_GONE;
            if (!keep)
                continue;
            Dump::ThreadStack& thread = threads.emplace_back();
            thread.threadId = threadId;
            thread.name = ThreadName(threadId);
            thread.failing = threadId == failingThread;
        } else if (line.rfind("F ", 0) == 0 && keep && !threads.empty()) {
            Dump::StackFrame frame;
            if (ParseFrame(line, frame))
                threads.back().frames.push_back(std::move(frame));
        }
    }
    return false;
}

} // namespace

bool WalkThreadStacks(unsigned long failingThread, const CONTEXT* context,
                      std::vector<Dump::ThreadStack>& threads) {
    DumpHelper::Request request{};
    request.magic = DumpHelper::REQUEST_MAGIC;
    request.job = DumpHelper::Job::WALK;
    request.processId = getpid();
    if (context != nullptr) {
        request.failingThread = static_cast<std::int64_t>(failingThread);
        request.hasContext = 1;
        static_assert(NGREG == DumpHelper::CONTEXT_REGISTERS);
        for (int i = 0; i < NGREG; ++i)
            request.registers[i] = context->uc_mcontext.gregs[i];
    }
    HelperRun run;
    if (!StartHelper(request, -1, run))
        return false;
    const std::string text = ReadAll(run.output);
    FinishHelper(run);
    return ParseWalk(text, context != nullptr ? failingThread : 0, threads);
}

} // namespace ZymWindows::Platform
