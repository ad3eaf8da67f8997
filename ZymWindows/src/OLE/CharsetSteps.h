#pragma once

#include <ZymCharset/Conv.h>

#include <cstddef>
#include <string>

namespace ZymWindows::OLE {

// Converts `length` bytes step by step through a 4096-byte output area,
// appending the bytes produced to `out`: the direct converter of the pair if
// there is one, else the chain through the wide set. The steps end when the
// input is used up or a step consumes nothing; an incomplete character at
// the end is left over. Returns the bytes consumed (0 when either set is not
// implemented).
std::size_t ConvertSteps(Zym::CHARSET from, Zym::CHARSET to, const unsigned char* bytes,
                         std::size_t length, std::string& out);

} // namespace ZymWindows::OLE
