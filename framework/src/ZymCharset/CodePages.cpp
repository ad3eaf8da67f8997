#include "CodePages.h"

namespace ZymCharset {

bool IsStatefulCodePage(Zym::CHARSET cs) noexcept {
    switch (cs) {
    case 50220: // the ISO-2022 sets of Japanese, Korean and Chinese
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 65000: // UTF-7
        return true;
    default:
        return false;
    }
}

} // namespace ZymCharset
