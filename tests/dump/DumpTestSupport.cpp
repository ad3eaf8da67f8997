#include "DumpTestSupport.h"

#include <algorithm>
#include <fstream>

namespace DumpTest {

namespace {

// The one section for which `holds` is true; null when none or several are.
const Section* Only(const std::vector<Section>& threads, auto holds) {
    const auto found = std::find_if(threads.begin(), threads.end(), holds);
    return found != threads.end() && std::count_if(found, threads.end(), holds) == 1 ? &*found
                                                                                     : nullptr;
}

} // namespace

const Section* Report::Failing() const {
    return Only(threads, [](const Section& section) { return section.failing; });
}

const Section* Report::Thread(unsigned long threadId) const {
    return Only(threads, [&](const Section& section) { return section.threadId == threadId; });
}

Report ReadReport(const std::filesystem::path& path) {
    static const std::string MARK = " <--- ERROR OCCURED IN THIS THREAD";
    Report report;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        // A last line without its newline was cut off where the writer died.
        if (file.eof())
            break;
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

testing::AssertionResult MarkedStartsAt(const Report& report, const std::string& function,
                                        const std::string& module, const std::string& source,
                                        unsigned long line) {
    const Section* failing = report.Failing();
    if (failing == nullptr || failing->frames.empty())
        return testing::AssertionFailure() << "no single marked thread with a stack";
    const Frame& top = failing->frames[0];
    if (top.function.find(function) != std::string::npos && top.module == module &&
        top.source.ends_with(source) && (line == 0 || top.line == line))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << top.function << " in " << top.module << " at " << top.source << ":" << top.line;
}

testing::AssertionResult HasFrame(const Section& thread, const std::string& function) {
    std::string functions;
    for (const Frame& frame : thread.frames) {
        if (frame.function.find(function) != std::string::npos)
            return testing::AssertionSuccess();
        functions += " " + frame.function;
    }
    return testing::AssertionFailure()
           << "no " << function << " in " << thread.name << ":" << functions;
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

} // namespace DumpTest
