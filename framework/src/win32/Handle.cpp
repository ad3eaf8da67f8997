#include "Zym/Handle.h"

#include <windows.h>

namespace Zym {

NativeHandle Handle::Invalid() noexcept {
    return INVALID_HANDLE_VALUE;
}

bool Handle::IsValid() const noexcept {
    return m_Handle != INVALID_HANDLE_VALUE && m_Handle != nullptr;
}

void Handle::Close() noexcept {
    if (IsValid())
        ::CloseHandle(std::exchange(m_Handle, Invalid()));
}

} // namespace Zym
