#pragma once

struct sqlite3;

namespace ZymWindows::Platform::Posix {

// The Win32 error of a failed SQLite call on the connection `db`.
long StoreError(sqlite3* db, int rc) noexcept;
// The same for a failed open, where the system's errno tells more.
long StoreOpenError(sqlite3* db, int rc) noexcept;

} // namespace ZymWindows::Platform::Posix
