#pragma once

#include <ZymCharset/Conv.h>

namespace ZymCharset {

// What the converter library calls a Windows code page.
struct SystemCodePage {
    const char* name;
    // Escape sequences or shift characters switch modes, so a text must be
    // converted by one descriptor from start to end.
    bool stateful;
};

// The system name of a code page that the built-in converters do not cover,
// or null when no name is known.
const SystemCodePage* FindSystemCodePage(Zym::CHARSET cs) noexcept;

// The system name of the 16-bit set of `wstring` in this machine's byte order.
const char* HostUtf16Name() noexcept;

} // namespace ZymCharset
