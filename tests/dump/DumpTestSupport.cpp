#include "DumpTestSupport.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace DumpTest {

const Section* Report::Failing() const {
    const Section* found = nullptr;
    for (const Section& section : threads) {
        if (section.failing) {
            if (found != nullptr)
                return nullptr; // more than one marked
            found = &section;
        }
    }
    return found;
}

const Section* Report::Thread(unsigned long threadId) const {
    for (const Section& section : threads) {
        if (section.threadId == threadId)
            return &section;
    }
    return nullptr;
}

Report ReadReport(const std::filesystem::path& path) {
    static const std::string MARK = " <--- ERROR OCCURED IN THIS THREAD";
    Report report;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind("Thread 0x", 0) == 0) {
            Section& section = report.threads.emplace_back();
            section.threadId = std::stoul(line.substr(9), nullptr, 16);
            section.name = line.substr(line.find(": ") + 2);
            if (section.name.size() >= MARK.size() &&
                section.name.compare(section.name.size() - MARK.size(), MARK.size(), MARK) == 0) {
                section.failing = true;
                section.name.resize(section.name.size() - MARK.size());
            }
        } else if (report.threads.empty()) {
            report.header += line + "\n";
        } else if (line.rfind("\t\t", 0) == 0 && !report.threads.back().frames.empty()) {
            Frame& frame = report.threads.back().frames.back();
            const std::size_t at = line.rfind(" [Line ");
            frame.source = line.substr(2, at - 2);
            frame.line = std::stoul(line.substr(at + 7));
        } else if (line.rfind("\t", 0) == 0) {
            Frame& frame = report.threads.back().frames.emplace_back();
            frame.function = line.substr(1, line.rfind(" [0x") - 1);
            const std::size_t module = line.rfind("] in '");
            frame.module = line.substr(module + 6, line.size() - module - 7);
        }
    }
    return report;
}

std::filesystem::path OnlyFile(const std::filesystem::path& folder, const std::string& extension) {
    std::filesystem::path found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == extension) {
            found = entry.path();
            ++count;
        }
    }
    return count == 1 ? found : std::filesystem::path();
}

int SignalOfChild(void (*body)(const std::string&), const std::string& folder) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        body(folder);
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

Ended Run(const std::vector<std::string>& argv) {
    Ended ended;
    int err[2];
    if (pipe(err) != 0)
        return {-1, -1, "no pipe"};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(err[1], STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        std::vector<char*> arguments;
        for (const std::string& argument : argv)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    close(err[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(err[0], buffer, sizeof buffer)) > 0)
        ended.err.append(buffer, static_cast<std::size_t>(got));
    close(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        ended.signal = WTERMSIG(status);
    else
        ended.status = WEXITSTATUS(status);
    return ended;
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    pclose(pipe);
    return output;
}

} // namespace DumpTest
