#include "CfbCommands.h"
#include "CfbDemoSample.h"
#include "Command.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace zymwin {

namespace {

namespace fs = std::filesystem;

std::string DecodeHex(const char* hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < std::strlen(hex); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    return bytes;
}

// The document lives in a temporary file for the length of the step.
class DemoFile {
public:
    DemoFile()
        : m_Path(fs::temp_directory_path() /
                 ("zymwin-demo-" + std::to_string(std::random_device()()) + ".doc")) {
        const std::string bytes = DecodeHex(cfb::DEMO_DOCUMENT_HEX);
        std::ofstream(m_Path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~DemoFile() {
        std::error_code ignored;
        fs::remove(m_Path, ignored);
    }
    DemoFile(const DemoFile&) = delete;
    DemoFile& operator=(const DemoFile&) = delete;
    std::string Path() const { return m_Path.string(); }

private:
    fs::path m_Path;
};

void CfbDemo() {
    const DemoFile document;
    std::puts("$ zymwin cfb ls demo.doc");
    cfb::List(document.Path(), false);
    std::puts("\n$ zymwin cfb cat demo.doc Notes");
    std::fflush(stdout);
    cfb::Cat(document.Path(), "Notes");
    std::puts("\n$ zymwin cfb props demo.doc");
    cfb::Properties(document.Path(), false);
}

const Registration g_CfbDemo(DemoStep{30, "Compound documents and their properties", CfbDemo});

} // namespace

} // namespace zymwin
