#include "dump/win32/DumpTarget.h"

#include "dump/DumpFileName.h"

#include <cstring>
#include <windows.h>

namespace ZymWindows::Platform {

std::string ExecutableFile() {
    char name[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(::GetModuleHandleW(nullptr), name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(name, length);
}

std::string DumpFile(const char* path, const char* extension) {
    return Dump::ResolveDumpPath(path, ExecutableFile(), Dump::Now(), extension);
}

void CopyWritten(const std::string& file, char* written, std::size_t size) noexcept {
    if (size == 0)
        return;
    const std::size_t length = file.size() < size ? file.size() : size - 1;
    std::memcpy(written, file.data(), length);
    written[length] = '\0';
}

} // namespace ZymWindows::Platform
