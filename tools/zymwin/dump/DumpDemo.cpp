#include "Command.h"
#include "DemoFolder.h"

#include <ZymWindows/ProcessDump.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace zymwin {

namespace {

// Writes a report of zymwin itself into a temporary folder and shows its
// thread sections' first lines.
void DumpDemo() {
    const DemoFolder folder("zymwin-dump");
    const std::string path = ZymWindows::ProcessDump().Write(folder.Path().string() + "/");
    std::printf("report written to %s\n", path.c_str());
    std::ifstream report(path);
    std::string line;
    int threads = 0;
    int frames = 0;
    while (std::getline(report, line)) {
        if (line.rfind("Thread 0x", 0) == 0) {
            ++threads;
            std::printf("%s\n", line.c_str());
        } else if (line.rfind("\t", 0) == 0 && line.rfind("\t\t", 0) != 0 && threads > 0) {
            ++frames;
        } else if (line.rfind("OS version: ", 0) == 0 || line.rfind("Number of", 0) == 0) {
            std::printf("%s\n", line.c_str());
        }
    }
    std::printf("%d thread(s), %d frame(s) with a symbol\n", threads, frames);
}

const Registration g_DumpDemo(DemoStep{85, "Crash report", DumpDemo});

} // namespace

} // namespace zymwin
