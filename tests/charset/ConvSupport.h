#pragma once

#include <ZymCharset/Conv.h>

#include <algorithm>
#include <string>
#include <vector>

namespace charset_test {

using Bytes = std::string;

inline Bytes Wide(const std::u16string& text) {
    return Bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

inline std::u16string FromWideBytes(const Bytes& bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return text;
}

// Drives a converter the way a caller does: each step gets what is still
// unconsumed plus, when `piece` is not 0, only `piece` new bytes, and an
// output area of `dstCap` bytes. The last step says the text ends.
inline Bytes Drive(const ZymCharset::Converter& converter, const Bytes& input, std::size_t dstCap,
                   std::size_t piece = 0) {
    Bytes output;
    std::vector<unsigned char> area(dstCap);
    std::size_t start = 0;
    std::size_t available = piece == 0 ? input.size() : 0;
    for (;;) {
        if (piece != 0)
            available = std::min(input.size(), available + piece);
        const bool end = available == input.size();
        std::size_t produced = 0;
        const std::size_t consumed = converter.Convert(input.data() + start, available - start,
                                                       area.data(), dstCap, produced, end);
        output.append(reinterpret_cast<const char*>(area.data()), produced);
        start += consumed;
        if (consumed == 0 && produced == 0 && end)
            break;
    }
    return output;
}

} // namespace charset_test
