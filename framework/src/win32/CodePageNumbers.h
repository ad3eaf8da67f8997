#pragma once

namespace ZymCharset::Platform {

// The Windows code page that the converter library's name stands for, or 0
// when the name is not one this system converts.
unsigned CodePageNumber(const char* name) noexcept;

// Whether the code page switches modes by escape sequences or shift
// characters: the system converts such text only as a whole.
bool IsStatefulCodePage(unsigned codePage) noexcept;

} // namespace ZymCharset::Platform
