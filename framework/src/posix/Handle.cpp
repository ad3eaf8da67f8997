#include "Zym/Handle.h"

#include <unistd.h>

namespace Zym {

void Handle::Close() noexcept {
    if (m_Fd != INVALID)
        ::close(std::exchange(m_Fd, INVALID));
}

} // namespace Zym
