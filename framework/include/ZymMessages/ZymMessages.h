#pragma once

#include <Zym/Export.h>

#include "Zym/MessageInfo.h"

#include <cstddef>
#include <string>

// The process-wide message catalog. Modules register blobs of records at
// load; the shared counter makes the first registration initialise the
// catalog and the last release free it.
namespace ZymMessages {

ZYM_EXPORT void Init();
// Registers the records of a catalog blob under `name`; a blob that does
// not parse whole is rejected (false) and nothing of it is registered.
ZYM_EXPORT bool Load(const void* bytes, std::size_t size, const char* name);
// The stored text of (module, code), placeholders included; empty when the
// catalog has no such message or is not initialised.
ZYM_EXPORT std::u16string ReadMessage(const std::string& module, long code,
                                      Zym::Language language = -1);
ZYM_EXPORT void Free();
ZYM_EXPORT bool IsInitialized();
// Whether a blob was registered under `name` since the last Init.
ZYM_EXPORT bool IsLoaded(const std::string& name);

} // namespace ZymMessages

class ZYM_EXPORT ZymMessagesInit {
public:
    // Registrations alive in the process; changed only under the loader's
    // serialisation, hence a plain integer.
    static int ms_Cnt;
};
