#pragma once

// <windows.h> for the registry's own files. Its A/W switch macros carry
// the names of the platform functions, so they go: the calls here name
// their W form.
#include <windows.h>

#undef RegOpenKey
#undef RegCreateKey
#undef RegDeleteKey
#undef RegQueryInfoKey
#undef RegEnumKey
#undef RegEnumValue
#undef RegSetValue
#undef RegQueryValue
#undef RegDeleteValue
