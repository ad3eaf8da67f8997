#include "observer/ObserverPlatform.h"

#include <windows.h>

namespace ZymWindows::Platform {

namespace {

const wchar_t* Wide(const std::u16string& text) noexcept {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

} // namespace

// A directory opened here reopens wherever it is: a share that comes back
// is found at the same name, so no mount root is asked for.
void* CreateDirectoryHandle(const std::u16string& path, bool, bool, bool& isMountRoot) {
    isMountRoot = false;
    HANDLE directory =
        ::CreateFileW(Wide(path), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    const DWORD attributes = ::GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Backup semantics open files too; only a directory has changes.
        const DWORD error =
            attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_DIRECTORY;
        ::CloseHandle(directory);
        ::SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return directory;
}

void CloseDirectoryHandle(void* directory) noexcept {
    if (directory && directory != INVALID_HANDLE_VALUE)
        ::CloseHandle(directory);
}

bool ReadDirectoryChanges(void* directory, char* buffer, unsigned long size, bool recurse,
                          unsigned long filter, _OVERLAPPED* overlapped) {
    return ::ReadDirectoryChangesW(directory, buffer, size, recurse, filter, nullptr, overlapped,
                                   nullptr) != FALSE;
}

bool CancelIo(void* directory) {
    return ::CancelIo(directory) != FALSE;
}

_OVERLAPPED* NewOverlapped() {
    return new OVERLAPPED{};
}

void ClearOverlapped(_OVERLAPPED* overlapped) noexcept {
    if (overlapped)
        *overlapped = OVERLAPPED{};
}

void DeleteOverlapped(_OVERLAPPED* overlapped) noexcept {
    delete overlapped;
}

} // namespace ZymWindows::Platform
