#include "../ZymFile/OSFile.h"

#include <ZymCharset/Utf.h>

#include <windows.h>

namespace ZymFile::OS {

namespace {

std::wstring Wide(const std::string& path) {
    const std::u16string wide = ZymCharset::FromUtf8(path);
    return std::wstring(wide.begin(), wide.end());
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

} // namespace

Zym::Handle OpenForReading(const std::string& path) {
    return Zym::Handle(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

Zym::Handle CreateAnonymousFile(const std::string& directory) {
    wchar_t folder[MAX_PATH + 1] = {};
    if (directory.empty()) {
        if (::GetTempPathW(MAX_PATH + 1, folder) == 0)
            return Zym::Handle();
    } else {
        const std::wstring wide = Wide(directory);
        if (wide.size() > MAX_PATH) {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return Zym::Handle();
        }
        wide.copy(folder, wide.size());
    }
    wchar_t name[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(folder, L"Zym", 0, name) == 0)
        return Zym::Handle();
    // Deleted when its last handle closes, even if the process dies.
    Zym::Handle file(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                   CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file.IsValid()) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(name);
        ::SetLastError(error);
    }
    return file;
}

bool GetFileSize(const Zym::Handle& file, std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(file.Get(), &value))
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

std::int64_t ReadAt(const Zym::Handle& file, void* data, std::size_t n, std::uint64_t offset) {
    OVERLAPPED position = At(offset);
    DWORD done = 0;
    const DWORD wanted = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
    if (!::ReadFile(file.Get(), data, wanted, &done, &position))
        return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return done;
}

bool WriteAt(const Zym::Handle& file, const void* data, std::size_t n, std::uint64_t offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (n > 0) {
        OVERLAPPED position = At(offset);
        DWORD done = 0;
        const DWORD wanted = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
        if (!::WriteFile(file.Get(), bytes, wanted, &done, &position))
            return false;
        bytes += done;
        n -= done;
        offset += done;
    }
    return true;
}

bool Truncate(const Zym::Handle& file, std::uint64_t size) {
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get());
}

} // namespace ZymFile::OS
