#pragma once

#include <ZymCharset/Conv.h>

namespace ZymCharset {

// What the chain needs to know of its second half to never decode more
// than the destination can take.
struct EncoderLimits {
    // The most bytes one 16-bit unit can become.
    std::size_t maxBytesPerUnit;
    // Room kept for the shift reset when a step ends the text.
    std::size_t resetReserve;
};

// Two converters through 16-bit units in this machine's byte order: the
// decoder turns the source into units, the encoder turns them into the
// target set.
ConverterPtr MakeChain(ConverterPtr decoder, ConverterPtr encoder, EncoderLimits limits);

} // namespace ZymCharset
