#include "Zym/LastError.h"
#include "../Zym/ErrorText.h"

#include "ZymCharset/Utf.h"

#include <cstring>
#include <windows.h>

namespace Zym {

unsigned long GetLastError() noexcept {
    return ::GetLastError();
}

void SetLastError(unsigned long code) noexcept {
    ::SetLastError(code);
}

std::u16string Platform::UnlistedErrorText(unsigned long code) {
    if (code & ERRNO_CODE_FLAG) {
        char buffer[256] = {};
        strerror_s(buffer, sizeof buffer, static_cast<int>(code & ~ERRNO_CODE_FLAG));
        return ZymCharset::FromUtf8(buffer);
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0)
        return ZymCharset::FromUtf8("Unknown error " + std::to_string(code) + ".");
    std::u16string result(reinterpret_cast<const char16_t*>(text), length);
    ::LocalFree(text);
    // The system's texts end with a line break.
    while (!result.empty() && (result.back() == u'\n' || result.back() == u'\r'))
        result.pop_back();
    return result;
}

} // namespace Zym
