#include "TestFiles.h"

#include "Environment.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zymtest {

ScratchDirectory::ScratchDirectory(const std::filesystem::path& parent) {
    std::random_device random;
    std::uniform_int_distribution<unsigned> digit(0, 35);
    for (int attempt = 0; attempt < 100 && m_Path.empty(); ++attempt) {
        std::string name = "zym-test-";
        for (int i = 0; i < 8; ++i)
            name += "0123456789abcdefghijklmnopqrstuvwxyz"[digit(random)];
        std::error_code error;
        if (std::filesystem::create_directory(parent / name, error))
            m_Path = parent / name;
        else if (error)
            break;
    }
    if (m_Path.empty())
        throw std::runtime_error("cannot create a scratch directory in " + parent.string());
    // Only the owner may enter, as with mkdtemp.
    std::filesystem::permissions(m_Path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::optional<std::string>& value)
    : m_Name(name) {
    if (const char* previous = std::getenv(name))
        m_Previous = previous;
    SetVariable(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    SetVariable(m_Name, m_Previous);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadRest(std::FILE* stream) {
    std::string text;
    char chunk[4096];
    for (std::size_t got; stream && (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;)
        text.append(chunk, got);
    return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace zymtest
