#pragma once

#include <string>

namespace ZymWindows::Platform::Posix {

// The store files. HKEY_LOCAL_MACHINE (with HKEY_CLASSES_ROOT and
// HKEY_CURRENT_CONFIG inside it) and HKEY_USERS are machine-wide, in
// /var/lib/zymwindows/registry; HKEY_CURRENT_USER belongs to the account, in
// $XDG_DATA_HOME/zymwindows/registry (default ~/.local/share/...).
// $ZYM_REGISTRY_DIR, when set, holds all three instead.
enum class Hive { MACHINE, USERS, CURRENT_USER };

// The database path of the hive, its folder created if missing. A folder
// that cannot be created gives 5 (access denied).
long HivePath(Hive hive, std::string& path);

} // namespace ZymWindows::Platform::Posix
