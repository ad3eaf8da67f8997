#pragma once

#include <Zym/Export.h>

#include <cstddef>
#include <memory>
#include <string>

namespace Zym {

// A character set, named by its Windows code page number.
using CHARSET = unsigned int;
inline constexpr CHARSET CHARSET_ANSI = 1252; // the narrow set of `string`
inline constexpr CHARSET CHARSET_UTF16LE = 1200;
inline constexpr CHARSET CHARSET_WIDE = 1201; // the 16-bit set of `wstring`, host order
inline constexpr CHARSET CHARSET_UTF8 = 65001;

} // namespace Zym

namespace ZymCharset {

// One conversion step between two character sets. Convert reads from `src`
// (`srcLen` bytes), writes at most `dstCap` bytes to `dst`, stores the bytes
// produced in `produced` and returns the bytes consumed. Only whole
// characters are consumed: an incomplete sequence at the end of the input is
// left for the next step unless `endOfInput` is set, in which case it becomes
// a replacement character. Invalid input becomes a replacement character
// ('?' in narrow sets, U+FFFD in Unicode sets) unless `stopOnError` is set,
// in which case the step stops before it. 16-bit units pass between 1200 and
// 1201 unchanged, unpaired surrogates included.
//
// Converters of stateless sets can be shared by any number of threads. A
// converter of a set with shift states (50220-50227, 65000) carries the
// state of the text it converts from one step to the next, so it serves one
// text at a time (calls are serialised): a step with `endOfInput` that
// consumes the rest of the input writes the sequence returning to the
// initial state and makes it ready for the next text; a step with
// `endOfInput` and no input does only that. After a step that consumed
// nothing with input left, such a converter should not be reused. Every
// request to Conv returns a fresh converter for these sets. Valid text of
// these sets converts the same in any pieces; how much of a damaged
// sequence becomes replacement characters may depend on where steps end.
class ZYM_EXPORT Converter {
public:
    virtual ~Converter() = default;
    virtual std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                                std::size_t& produced, bool endOfInput = false,
                                bool stopOnError = false) const = 0;
};

using ConverterPtr = std::shared_ptr<const Converter>;

// Conversions between the Windows code pages: 1252, 1200/1201 and 65001
// built in, every other code page through the system's converters (single-
// byte code pages through a table read from them once).
class ZYM_EXPORT Conv {
public:
    static bool IsImplemented(Zym::CHARSET cs);
    // Whether the set has 16-bit units (1200, 1201).
    static bool IsWCCS(Zym::CHARSET cs);
    // A direct converter, or null when the pair has none: every pair with a
    // 16-bit side has one.
    static ConverterPtr FastConversionFunction(Zym::CHARSET from, Zym::CHARSET to);
    // `from` to the wide set (1201), and the wide set to `to`; null when the
    // set is not implemented.
    static ConverterPtr MbToWcConversionFunction(Zym::CHARSET from);
    static ConverterPtr WcToMbConversionFunction(Zym::CHARSET to);
    // The fallback: MbToWc(from) chained with WcToMb(to); null when either
    // set is not implemented.
    static ConverterPtr ConversionClass(Zym::CHARSET from, Zym::CHARSET to);

    // Converts a whole text step by step through the direct converter, else
    // the fallback; stops early when a step consumes nothing. Throws
    // std::invalid_argument when a set is not implemented.
    static std::string Convert(Zym::CHARSET from, Zym::CHARSET to, const void* src,
                               std::size_t srcLen);
    static std::u16string ToWide(Zym::CHARSET from, const std::string& text);
    static std::string FromWide(Zym::CHARSET to, const std::u16string& text);
};

} // namespace ZymCharset
