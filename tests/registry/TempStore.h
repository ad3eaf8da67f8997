#pragma once

#include "TestFiles.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace RegistryTest {

using zymtest::ReadFile;
using zymtest::SplitLines;
using zymtest::WriteFile;

// A fresh registry while the object lives, and a scratch folder. On Linux
// the store is in the folder, named by ZYM_REGISTRY_DIR for this process and
// its children. On Windows this process's predefined roots are redirected
// to an empty scratch tree; children use the system's registry, and the
// keys they leave at the places the suites write are deleted at the end.
class TempStore {
public:
    TempStore();
    ~TempStore();

    const std::filesystem::path& Dir() const noexcept { return m_Dir.Path(); }
    std::filesystem::path File(const char* name) const { return Dir() / name; }

private:
    zymtest::ScratchDirectory m_Dir;
    // On Windows: the sub keys of each watched key when the store was made.
    std::vector<std::vector<std::u16string>> m_Existing;
};

// Runs zymwin with `args`, standard input from `input`, and waits for it.
zymtest::ProcessResult Zymwin(const std::vector<std::string>& args, const std::string& input = "");

// What a registry call raised: the exception's text, and the code and
// parameters of its catalogued record (-1 and none without one). A call
// that raises nothing fails the test.
struct Raised {
    std::string text;
    long code = -1;
    std::vector<std::u16string> params;
};
Raised Catch(const std::function<void()>& action);

} // namespace RegistryTest
