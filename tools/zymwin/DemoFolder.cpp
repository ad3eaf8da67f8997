#include "DemoFolder.h"

#include "Command.h"

#include <cstdio>
#include <random>
#include <system_error>

namespace zymwin {

namespace fs = std::filesystem;

DemoFolder::DemoFolder(const std::string& prefix) {
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%08x", random());
        const fs::path folder = base / (prefix + suffix);
        std::error_code error;
        if (fs::create_directory(folder, error)) {
            fs::permissions(folder, fs::perms::owner_all, error);
            m_Path = folder;
            return;
        }
        if (error)
            throw UsageError{"cannot create a folder in " + base.string() + ": " + error.message()};
    }
    throw UsageError{"cannot find a free folder name in " + base.string()};
}

DemoFolder::~DemoFolder() {
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
}

} // namespace zymwin
