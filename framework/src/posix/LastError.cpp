#include "Zym/LastError.h"
#include "../Zym/ErrorText.h"

#include "ZymCharset/Utf.h"

#include <cstring>

namespace Zym {

namespace {

thread_local unsigned long t_LastError = ERROR_SUCCESS;

} // namespace

unsigned long GetLastError() noexcept {
    return t_LastError;
}

void SetLastError(unsigned long code) noexcept {
    t_LastError = code;
}

std::u16string Platform::UnlistedErrorText(unsigned long code) {
    if (code & ERRNO_CODE_FLAG) {
        char buffer[256];
        const int err = static_cast<int>(code & ~ERRNO_CODE_FLAG);
        // GNU strerror_r returns the text, which may not be in `buffer`.
        return ZymCharset::FromUtf8(strerror_r(err, buffer, sizeof buffer));
    }
    return ZymCharset::FromUtf8("Unknown error " + std::to_string(code) + ".");
}

} // namespace Zym
