#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace RegistryTest {

// A fresh registry store in a temporary folder, named by ZYM_REGISTRY_DIR
// while the object lives.
class TempStore {
public:
    TempStore();
    ~TempStore();
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    const std::filesystem::path& Dir() const noexcept { return m_Dir; }
    std::filesystem::path File(const char* name) const { return m_Dir / name; }

private:
    std::filesystem::path m_Dir;
};

struct Run {
    int status;
    std::string out;
    std::string err;
};

// Runs zymwin with `args`, standard input from `input`, and waits for it.
Run Zymwin(const std::vector<std::string>& args, const std::string& input = "");

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace RegistryTest
