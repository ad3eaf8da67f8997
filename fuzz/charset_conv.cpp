// Decodes arbitrary bytes in every kind of code page, whole and in pieces
// through small output areas, and encodes arbitrary 16-bit text back; the
// pieces must give the same text as the whole, and no step may write past
// its area or claim more input than it was given. Sets with shift states
// may replace damaged input differently when steps end inside it, so for
// them only undamaged input is compared.
#include <ZymCharset/Conv.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool HasShiftStates(Zym::CHARSET cs) {
    return cs == 65000 || (cs >= 50220 && cs <= 50229);
}

constexpr Zym::CHARSET CODE_PAGES[] = {1252, 65001, 1200,  1201,  932,   936,   949,
                                       950,  54936, 50220, 50221, 50225, 65000, 1251,
                                       37,   20932, 1361,  12000, 874,   1258};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::string Drive(const ZymCharset::Converter& converter, const std::string& input, std::size_t cap,
                  std::size_t piece) {
    std::string output;
    std::vector<unsigned char> area(cap + 16, 0xA5);
    std::size_t start = 0;
    std::size_t available = 0;
    for (;;) {
        available = std::min(input.size(), available + piece);
        const bool end = available == input.size();
        std::size_t produced = 0;
        const std::size_t consumed = converter.Convert(input.data() + start, available - start,
                                                       area.data(), cap, produced, end);
        Check(consumed <= available - start && produced <= cap);
        for (std::size_t i = cap; i < area.size(); ++i)
            Check(area[i] == 0xA5);
        output.append(reinterpret_cast<const char*>(area.data()), produced);
        start += consumed;
        if (consumed == 0 && produced == 0 && end)
            break;
    }
    return output;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const Zym::CHARSET cs = CODE_PAGES[data[0] % std::size(CODE_PAGES)];
    const std::size_t cap = 16 + data[1] % 64;
    const std::size_t piece = 1 + data[2] % 7;
    const std::string input(reinterpret_cast<const char*>(data + 3), size - 3);

    const auto decoder = ZymCharset::Conv::MbToWcConversionFunction(cs);
    const std::string whole = Drive(*decoder, input, 4096, input.size() + 1);
    Check(whole.size() % 2 == 0);
    const std::string pieces =
        Drive(*ZymCharset::Conv::MbToWcConversionFunction(cs), input, cap, piece);
    // Sets with shift states (UTF-7, ISO-2022) may end a cut sequence
    // differently depending on where steps end; only stateless sets must
    // give the same text in any pieces.
    const bool comparable = !HasShiftStates(cs);
    Check(!comparable || pieces == whole);

    const auto encoder = ZymCharset::Conv::WcToMbConversionFunction(cs);
    const std::string encoded = Drive(*encoder, input, 4096, input.size() + 1);
    Check(!comparable ||
          Drive(*ZymCharset::Conv::WcToMbConversionFunction(cs), input, cap, piece) == encoded);

    const auto chain = ZymCharset::Conv::ConversionClass(cs, 65001);
    const std::string chained = Drive(*chain, input, cap, piece);
    Check(!comparable || chained == Drive(*ZymCharset::Conv::ConversionClass(cs, 65001), input,
                                          4096, input.size() + 1));
    return 0;
}
