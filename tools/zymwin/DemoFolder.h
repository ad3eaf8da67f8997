#pragma once

#include <filesystem>
#include <string>

namespace zymwin {

// A new folder of a demo's own under the system's temporary folder, named
// PREFIX-XXXXXXXX (a name that is taken already is not reused), removed with
// everything in it when the object goes. Only its owner may enter it.
class DemoFolder {
public:
    explicit DemoFolder(const std::string& prefix);
    ~DemoFolder();
    DemoFolder(const DemoFolder&) = delete;
    DemoFolder& operator=(const DemoFolder&) = delete;

    const std::filesystem::path& Path() const noexcept { return m_Path; }

private:
    std::filesystem::path m_Path;
};

} // namespace zymwin
