#pragma once

#include "SingleByteTable.h"

#include <ZymCharset/Conv.h>

#include <memory>

namespace ZymCharset {

// Converters that need no system support. `littleEndian` is the byte order
// of the 16-bit side.

// A single-byte code page to and from 16-bit units.
ConverterPtr MakeTableDecoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian);
ConverterPtr MakeTableEncoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian);

// UTF-8 to and from 16-bit units.
ConverterPtr MakeUtf8Decoder(bool littleEndian);
ConverterPtr MakeUtf8Encoder(bool littleEndian);

// Between the two byte orders of 16-bit units (or a copy when they agree).
// Units pass unchanged, unpaired surrogates included, so no text is lost.
ConverterPtr MakeWideToWide(bool fromLittleEndian, bool toLittleEndian);

} // namespace ZymCharset
