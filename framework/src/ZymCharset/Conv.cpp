#include <ZymCharset/Conv.h>

#include "BuiltinConverters.h"
#include "ChainConverter.h"
#include "SystemConverters.h"
#include "SystemSets.h"
#include "WideUnits.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ZymCharset {

namespace {

bool IsBuiltin(Zym::CHARSET cs) {
    return cs == Zym::CHARSET_ANSI || cs == Zym::CHARSET_UTF8 || Conv::IsWCCS(cs);
}

std::shared_ptr<const SingleByteTable> Table1252() {
    // The table is static: share it without ownership.
    return std::shared_ptr<const SingleByteTable>(std::shared_ptr<void>(), &Windows1252Table());
}

// `cs` (implemented, not 16-bit) to 16-bit units of the given byte order.
ConverterPtr Decoder(Zym::CHARSET cs, bool littleEndian) {
    if (cs == Zym::CHARSET_ANSI)
        return MakeTableDecoder(Table1252(), littleEndian);
    if (cs == Zym::CHARSET_UTF8)
        return MakeUtf8Decoder(littleEndian);
    const SystemSet* set = FindSystemSet(cs);
    return set->table ? MakeTableDecoder(set->table, littleEndian)
                      : MakeSystemDecoder(set->cs, set->stateful, littleEndian);
}

ConverterPtr Encoder(Zym::CHARSET cs, bool littleEndian) {
    if (cs == Zym::CHARSET_ANSI)
        return MakeTableEncoder(Table1252(), littleEndian);
    if (cs == Zym::CHARSET_UTF8)
        return MakeUtf8Encoder(littleEndian);
    const SystemSet* set = FindSystemSet(cs);
    return set->table ? MakeTableEncoder(set->table, littleEndian)
                      : MakeSystemEncoder(set->cs, set->stateful, littleEndian);
}

EncoderLimits Limits(Zym::CHARSET cs) {
    if (Conv::IsWCCS(cs))
        return {2, 0};
    if (cs == Zym::CHARSET_UTF8)
        return {3, 0};
    if (cs == Zym::CHARSET_ANSI)
        return {1, 0};
    const SystemSet* set = FindSystemSet(cs);
    if (set->table)
        return {1, 0};
    // Escape sequences of a stateful set, and the four-byte forms of
    // GB18030 and UTF-32, stay within these bounds.
    return set->stateful ? EncoderLimits{8, SHIFT_RESET_RESERVE} : EncoderLimits{4, 0};
}

} // namespace

bool Conv::IsImplemented(Zym::CHARSET cs) {
    return IsBuiltin(cs) || FindSystemSet(cs) != nullptr;
}

bool Conv::IsWCCS(Zym::CHARSET cs) {
    return cs == Zym::CHARSET_UTF16LE || cs == Zym::CHARSET_WIDE;
}

ConverterPtr Conv::FastConversionFunction(Zym::CHARSET from, Zym::CHARSET to) {
    if (!IsImplemented(from) || !IsImplemented(to))
        return nullptr;
    if (IsWCCS(from) && IsWCCS(to))
        return MakeWideToWide(IsLittleEndianSet(from), IsLittleEndianSet(to));
    if (IsWCCS(to))
        return Decoder(from, IsLittleEndianSet(to));
    if (IsWCCS(from))
        return Encoder(to, IsLittleEndianSet(from));
    return nullptr;
}

ConverterPtr Conv::MbToWcConversionFunction(Zym::CHARSET from) {
    return FastConversionFunction(from, Zym::CHARSET_WIDE);
}

ConverterPtr Conv::WcToMbConversionFunction(Zym::CHARSET to) {
    return FastConversionFunction(Zym::CHARSET_WIDE, to);
}

ConverterPtr Conv::ConversionClass(Zym::CHARSET from, Zym::CHARSET to) {
    ConverterPtr decoder = MbToWcConversionFunction(from);
    ConverterPtr encoder = WcToMbConversionFunction(to);
    if (!decoder || !encoder)
        return nullptr;
    return MakeChain(std::move(decoder), std::move(encoder), Limits(to));
}

std::string Conv::Convert(Zym::CHARSET from, Zym::CHARSET to, const void* src, std::size_t srcLen) {
    ConverterPtr converter = FastConversionFunction(from, to);
    if (!converter)
        converter = ConversionClass(from, to);
    if (!converter)
        throw std::invalid_argument("code page " + std::to_string(IsImplemented(from) ? to : from) +
                                    " is not implemented");
    // Steps write straight into the result, through an area large enough for
    // most texts in one step: converters that work in several stages redo
    // work each time a step ends with its area full.
    const std::size_t area = std::min<std::size_t>(srcLen * 4 + 16, 1 << 20);
    std::string result;
    const auto* in = static_cast<const unsigned char*>(src);
    // Every step says the text ends here, so the last one also writes the
    // shift reset of a stateful target; the steps end when one neither
    // consumes nor produces anything.
    for (;;) {
        const std::size_t used = result.size();
        result.resize(used + area);
        std::size_t produced = 0;
        const std::size_t consumed =
            converter->Convert(in, srcLen, result.data() + used, area, produced, true, false);
        result.resize(used + produced);
        in += consumed;
        srcLen -= consumed;
        if (consumed == 0 && produced == 0)
            break;
    }
    return result;
}

std::u16string Conv::ToWide(Zym::CHARSET from, const std::string& text) {
    const std::string bytes = Convert(from, Zym::CHARSET_WIDE, text.data(), text.size());
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
    return wide;
}

std::string Conv::FromWide(Zym::CHARSET to, const std::u16string& text) {
    return Convert(Zym::CHARSET_WIDE, to, text.data(), text.size() * 2);
}

} // namespace ZymCharset
