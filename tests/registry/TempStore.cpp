#include "TempStore.h"

#include <cstdlib>

namespace RegistryTest {

TempStore::TempStore() {
    ::setenv("ZYM_REGISTRY_DIR", m_Dir.Path().c_str(), 1);
}

TempStore::~TempStore() {
    ::unsetenv("ZYM_REGISTRY_DIR");
}

zymtest::ProcessResult Zymwin(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv{ZYMWIN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return zymtest::RunProcess(argv, input);
}

} // namespace RegistryTest
