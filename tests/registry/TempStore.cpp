#include "TempStore.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace RegistryTest {

TempStore::TempStore() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zymreg-XXXXXX").string();
    m_Dir = ::mkdtemp(pattern.data());
    ::setenv("ZYM_REGISTRY_DIR", m_Dir.c_str(), 1);
}

TempStore::~TempStore() {
    ::unsetenv("ZYM_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(m_Dir, ignored);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Run Zymwin(const std::vector<std::string>& args, const std::string& input) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto tag = std::to_string(::getpid());
    const auto inPath = dir / ("zymwin-in-" + tag);
    const auto outPath = dir / ("zymwin-out-" + tag);
    const auto errPath = dir / ("zymwin-err-" + tag);
    WriteFile(inPath, input);
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(ZYMWIN_PATH)};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZYMWIN_PATH, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Run run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
    std::filesystem::remove(inPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}

} // namespace RegistryTest
