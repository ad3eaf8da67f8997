#include "Zym/ExecutablePath.h"

#include "ZymCharset/Utf.h"

#include <windows.h>

namespace Zym {

bool GetExecutablePath(std::string& path) {
    std::u16string buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(
            nullptr, reinterpret_cast<wchar_t*>(buffer.data()), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return false;
        // A full buffer may hold a cut path.
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    path = ZymCharset::ToUtf8(buffer);
    return true;
}

} // namespace Zym
