#pragma once

#include "Wine.h"

#include <ZymCharset/Conv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace charset_test {

using Bytes = std::string;

inline Bytes Wide(const std::u16string& text) {
    return Bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
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

// Code pages that Wine 8 lacks (its GetCPInfo refuses them with 87). A test
// passes over them under Wine, checks every other page and then skips,
// naming them; on Linux and on a real Windows nothing is passed over.
class WineGaps {
public:
    bool Lack(Zym::CHARSET cs) {
        static const std::set<Zym::CHARSET> lacking = {
            858,   870,   1047,  1140,  1141,  1142,  1143,  1144,  1145,  1146,  1147,  1148,
            1149,  12000, 12001, 20273, 20277, 20278, 20280, 20284, 20285, 20290, 20297, 20420,
            20423, 20424, 20871, 20880, 20905, 20936, 21025, 28600, 28601, 28604, 28606, 38598,
            50220, 50221, 50222, 50225, 50227, 51932, 51936, 51949, 54936};
        if (!lacking.count(cs) || !zymtest::WineLacksCodePage(cs))
            return false;
        m_Lacking.insert(cs);
        return true;
    }
    bool Any() const { return !m_Lacking.empty(); }
    std::string Pages() const {
        std::string pages;
        for (const Zym::CHARSET cs : m_Lacking)
            pages += (pages.empty() ? "" : ", ") + std::to_string(cs);
        return pages;
    }

private:
    std::set<Zym::CHARSET> m_Lacking;
};

} // namespace charset_test

// Ends a test that passed over code pages as skipped, naming them.
#define SKIP_IF_WINE_LACKED(gaps)                                                                  \
    do {                                                                                           \
        if ((gaps).Any())                                                                          \
            GTEST_SKIP() << "Wine " << zymtest::WineVersion().value_or("") << " lacks code pages " \
                         << (gaps).Pages();                                                        \
    } while (false)
