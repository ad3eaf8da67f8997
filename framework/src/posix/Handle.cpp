#include "Zym/Handle.h"

#include <unistd.h>

namespace Zym {

NativeHandle Handle::Invalid() noexcept {
    return -1;
}

bool Handle::IsValid() const noexcept {
    return m_Handle != -1;
}

void Handle::Close() noexcept {
    if (IsValid())
        ::close(std::exchange(m_Handle, Invalid()));
}

} // namespace Zym
