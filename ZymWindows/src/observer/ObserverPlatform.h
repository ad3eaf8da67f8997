#pragma once

#include <string>

struct _OVERLAPPED;

// What the directory observer asks of the operating system: directory
// handles whose change reads complete on a completion port, and the port.
// Failures return the invalid handle, null or false and leave a Win32 error
// number as the thread's last error.
namespace ZymWindows::Platform {

// INVALID_HANDLE_VALUE.
inline void* InvalidDirectoryHandle() noexcept {
    return reinterpret_cast<void*>(~static_cast<unsigned long long>(0));
}

// Opens the directory `path` for change reads (CreateFileW with
// FILE_LIST_DIRECTORY and FILE_FLAG_OVERLAPPED, then GetFileAttributesW).
// With `recurse` the reads will cover the whole subtree. With
// `mustBeMountRoot` the open succeeds only if a file system is mounted at
// `path`; `isMountRoot` tells whether one is. Errors: 2 or 3 when it does
// not exist, 267 when it is not a directory.
void* CreateDirectoryHandle(const std::u16string& path, bool recurse, bool mustBeMountRoot,
                            bool& isMountRoot);
// Closes a directory handle; a read still pending on it is dropped without
// a completion (callers close only handles without a pending read).
void CloseDirectoryHandle(void* directory) noexcept;

// CreateIoCompletionPort: associates `directory` (if not null) with `port`,
// creating the port when `port` is null; completions of its reads arrive
// with `key`. Returns the port, or null: 5 when the directory may not be
// read, 4 when the process may open no more descriptors, 1450 when the
// system has no watch left for it (or for a directory below it, when
// recursing).
void* CreateIoCompletionPort(void* directory, void* port, void* key);
// PostQueuedCompletionStatus.
bool PostQueuedCompletionStatus(void* port, unsigned long bytes, void* key,
                                _OVERLAPPED* overlapped);
// GetQueuedCompletionStatus without a time limit. A packet of a failed read
// returns false with `key` and `overlapped` set and its error as the last
// error; a failure that dequeued nothing leaves `overlapped` null.
bool GetQueuedCompletionStatus(void* port, unsigned long& bytes, void*& key,
                               _OVERLAPPED*& overlapped);
void CloseCompletionPort(void* port) noexcept;

// ReadDirectoryChangesW: starts a read of change records into `buffer`,
// which completes on the directory's port with `overlapped`. The records
// are FILE_NOTIFY_INFORMATION records; a read that completes without any
// (0 bytes) means that changes were lost. A read fails with 64 when the
// file system of the directory was unmounted.
bool ReadDirectoryChanges(void* directory, char* buffer, unsigned long size, bool recurse,
                          unsigned long filter, _OVERLAPPED* overlapped);
// CancelIo: the pending read, if any, completes with 995.
bool CancelIo(void* directory);

// The OVERLAPPED record of a source, zero-filled.
_OVERLAPPED* NewOverlapped();
void ClearOverlapped(_OVERLAPPED* overlapped) noexcept;
void DeleteOverlapped(_OVERLAPPED* overlapped) noexcept;

} // namespace ZymWindows::Platform
