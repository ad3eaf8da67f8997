#include "ZymFile/Seek.h"

namespace ZymFile {

ZYM_DEFINE_EXCEPTION(SeekOutOfRangeException);

unsigned int ResolveSeek(unsigned int current, unsigned int size, std::int64_t offset,
                         Zym::SeekDir dir) {
    std::int64_t base = 0;
    if (dir == Zym::SeekDir::Current)
        base = current;
    else if (dir == Zym::SeekDir::End)
        base = size;
    // Offsets are at most 64-bit and positions 32-bit: no overflow here
    // unless the offset itself is near the 64-bit limits.
    if ((offset > 0 && offset > static_cast<std::int64_t>(size) - base) ||
        (offset < 0 && -offset > base))
        throw SeekOutOfRangeException();
    return static_cast<unsigned int>(base + offset);
}

} // namespace ZymFile
