#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace DumpTest {

struct Frame {
    std::string function;
    std::string module;
    std::string source;
    unsigned long line = 0;
};

struct Section {
    unsigned long threadId = 0;
    std::string name;
    bool failing = false;
    std::vector<Frame> frames;
};

// A report read back: its header text and its thread sections.
struct Report {
    std::string header;
    std::vector<Section> threads;
    const Section* Failing() const;
    const Section* Thread(unsigned long threadId) const;
};

Report ReadReport(const std::filesystem::path& path);

// The only file in `folder` with the extension `extension`; empty if there
// is not exactly one.
std::filesystem::path OnlyFile(const std::filesystem::path& folder, const std::string& extension);

// Runs `body` in a child process and returns the signal that ended it (0
// if it exited).
int SignalOfChild(void (*body)(const std::string&), const std::string& folder);

struct Ended {
    int signal = 0; // 0 when it exited
    int status = 0; // its exit status then
    std::string err;
};

// Runs a program with its standard output thrown away.
Ended Run(const std::vector<std::string>& argv);

// What a shell command writes to its standard output and error.
std::string CommandOutput(const std::string& command);

} // namespace DumpTest
