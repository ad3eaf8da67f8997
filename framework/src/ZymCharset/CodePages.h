#pragma once

#include <ZymCharset/Conv.h>

namespace ZymCharset {

// Whether escape sequences or shift characters of the code page switch
// modes, so that a text must be converted by one converter from start to end.
bool IsStatefulCodePage(Zym::CHARSET cs) noexcept;

} // namespace ZymCharset
