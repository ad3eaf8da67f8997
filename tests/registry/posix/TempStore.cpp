// The store of the Linux side: SQLite files in the scratch folder.
#include "../TempStore.h"

#include <cstdlib>

namespace RegistryTest {

TempStore::TempStore() {
    ::setenv("ZYM_REGISTRY_DIR", m_Dir.Path().c_str(), 1);
}

TempStore::~TempStore() {
    ::unsetenv("ZYM_REGISTRY_DIR");
}

} // namespace RegistryTest
