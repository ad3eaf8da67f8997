#include "Command.h"

#include <ZymWindows/ProcessDump.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace zymwin {

namespace {

// A folder of its own under the temporary folder: a name that is taken
// already is not reused.
std::filesystem::path NewTemporaryFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "zymwin-dump-%08x", random());
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(folder))
            return folder;
    }
    throw UsageError{"cannot create a temporary folder"};
}

// Writes a report of zymwin itself into a temporary folder and shows its
// thread sections' first lines.
void DumpDemo() {
    const std::filesystem::path folder = NewTemporaryFolder();
    const std::string path = ZymWindows::ProcessDump().Write(folder.string() + "/");
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
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

const Registration g_DumpDemo(DemoStep{85, "Crash report", DumpDemo});

} // namespace

} // namespace zymwin
