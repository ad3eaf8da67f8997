#pragma once

#include <ZymCharset/Conv.h>

namespace ZymCharset {

// A system code page to and from 16-bit units of the given byte order, or
// null when the system cannot convert it. Each converter owns one system
// converter: a stateful code page keeps its shift state from one step to
// the next, and a step with `endOfInput` ends the text and returns to the
// initial state. Use one converter per text; calls are serialised.
ConverterPtr MakeSystemDecoder(Zym::CHARSET cs, bool stateful, bool littleEndian);
ConverterPtr MakeSystemEncoder(Zym::CHARSET cs, bool stateful, bool littleEndian);

// Room that a step ending a text of a stateful code page keeps for the
// sequence that returns to the initial shift state.
inline constexpr std::size_t SHIFT_RESET_RESERVE = 8;

} // namespace ZymCharset
