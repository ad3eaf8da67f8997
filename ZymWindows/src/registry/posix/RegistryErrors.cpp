#include "registry/posix/RegistryErrors.h"

#include <Zym/LastError.h>

#include <sqlite3.h>

namespace ZymWindows::Platform::Posix {

long StoreError(sqlite3* db, int rc) noexcept {
    switch (rc) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return Zym::ERROR_SUCCESS;
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        // The only reference is to a parent key: it was deleted meanwhile.
        return Zym::ERROR_KEY_DELETED;
    case SQLITE_TOOBIG:
        return Zym::ERROR_INVALID_PARAMETER;
    case SQLITE_CANTOPEN:
        return StoreOpenError(db, rc);
    default:
        break;
    }
    switch (rc & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return Zym::ERROR_ACCESS_DENIED;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Zym::ERROR_BUSY;
    case SQLITE_NOMEM:
        return Zym::ERROR_OUTOFMEMORY;
    case SQLITE_FULL:
        return Zym::ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
        return Zym::ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return StoreOpenError(db, rc);
    default:
        return Zym::ERROR_REGISTRY_IO_FAILED;
    }
}

long StoreOpenError(sqlite3* db, int rc) noexcept {
    if ((rc & 0xFF) != SQLITE_CANTOPEN)
        return StoreError(db, rc);
    const int err = db ? sqlite3_system_errno(db) : 0;
    const unsigned long code = Zym::Win32ErrorFromErrno(err);
    // A store that does not exist where this account may not create it is
    // out of reach just like one that the account may not open.
    if (err == 0 || code == Zym::ERROR_FILE_NOT_FOUND || code == Zym::ERROR_PATH_NOT_FOUND)
        return Zym::ERROR_ACCESS_DENIED;
    if (code & Zym::ERRNO_CODE_FLAG)
        return Zym::ERROR_CANTOPEN;
    return static_cast<long>(code);
}

} // namespace ZymWindows::Platform::Posix
