#pragma once

#include <gtest/gtest.h>

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

// Whether exactly one thread is marked, and the top frame of its stack is
// in a function whose name holds `function`, in `module`, in a source file
// whose path ends in `source`, at `line` unless that is 0.
testing::AssertionResult MarkedStartsAt(const Report& report, const std::string& function,
                                        const std::string& module, const std::string& source,
                                        unsigned long line = 0);

// Whether a frame of `thread` is in a function whose name holds `function`.
testing::AssertionResult HasFrame(const Section& thread, const std::string& function);

// The only file in `folder` with the extension `extension`; empty if there
// is not exactly one.
std::filesystem::path OnlyFile(const std::filesystem::path& folder, const std::string& extension);

} // namespace DumpTest
