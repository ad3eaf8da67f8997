#pragma once

#include <ZymCharset/Conv.h>

namespace ZymCharset::Platform {

// What iconv calls a Windows code page that the built-in converters do not
// cover, or null when iconv has no converter for it.
const char* CodePageName(Zym::CHARSET cs) noexcept;

} // namespace ZymCharset::Platform
