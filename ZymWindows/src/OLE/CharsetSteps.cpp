#include "CharsetSteps.h"

#include <ZymWindows/OLEPropertyStorage.h>

#include <cstring>

namespace ZymWindows::OLE {

std::size_t ConvertSteps(Zym::CHARSET from, Zym::CHARSET to, const unsigned char* bytes,
                         std::size_t length, std::string& out) {
    ZymCharset::ConverterPtr converter = ZymCharset::Conv::FastConversionFunction(from, to);
    if (!converter)
        converter = ZymCharset::Conv::ConversionClass(from, to);
    if (!converter)
        return 0;
    unsigned char area[4096];
    std::size_t consumed = 0;
    while (consumed < length) {
        std::size_t produced = 0;
        const std::size_t used = converter->Convert(bytes + consumed, length - consumed, area,
                                                    sizeof area, produced, false, false);
        out.append(reinterpret_cast<const char*>(area), produced);
        consumed += used;
        if (used == 0)
            break;
    }
    return consumed;
}

std::size_t ConvertString(Zym::CHARSET from, Zym::CHARSET to, const unsigned char* bytes,
                          std::size_t length, std::u16string& out) {
    std::string produced;
    const std::size_t consumed = ConvertSteps(from, to, bytes, length, produced);
    const std::size_t start = out.size();
    out.resize(start + produced.size() / 2);
    std::memcpy(out.data() + start, produced.data(), (produced.size() / 2) * 2);
    return consumed;
}

} // namespace ZymWindows::OLE
