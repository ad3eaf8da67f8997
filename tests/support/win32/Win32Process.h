#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zymtest {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// Owns a handle and closes it.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle)
        : m_Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : m_Handle(std::exchange(other.m_Handle, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        std::swap(m_Handle, other.m_Handle);
        return *this;
    }
    ~OwnedHandle() {
        if (m_Handle)
            CloseHandle(m_Handle);
    }
    HANDLE Get() const { return m_Handle; }
    explicit operator bool() const { return m_Handle != nullptr; }

private:
    HANDLE m_Handle = nullptr;
};

// Opens `path` for reading or for writing (made or emptied).
OwnedHandle OpenForReading(const std::filesystem::path& path);
OwnedHandle OpenForWriting(const std::filesystem::path& path);

// Starts argv[0] with the given standard streams, which the new process
// alone inherits. With `searchPath` a bare program name is looked up the way
// the command interpreter would; otherwise argv[0] is the program's path.
// `environment` replaces this process's unless empty. Returns the process;
// throws when the program cannot start.
OwnedHandle StartProcess(const std::vector<std::string>& argv, bool searchPath,
                         const std::vector<std::string>& environment, HANDLE input, HANDLE output,
                         HANDLE error);

} // namespace zymtest
