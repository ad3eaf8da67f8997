#pragma once

#include <Zym/Export.h>

#include <string>
#include <string_view>

namespace ZymCharset {

// Lossless conversions between UTF-16 and UTF-8. Unpaired surrogates and
// malformed UTF-8 sequences become U+FFFD.
ZYM_EXPORT std::string ToUtf8(std::u16string_view text);
ZYM_EXPORT std::u16string FromUtf8(std::string_view text);

} // namespace ZymCharset
