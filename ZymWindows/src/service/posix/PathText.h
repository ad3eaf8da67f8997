#pragma once

#include <string>

// File names are bytes, which need not be UTF-8, while the service family
// passes them on as UTF-16. These carry every byte through: one that is not
// part of a valid UTF-8 sequence becomes the lone surrogate U+DC00 + byte
// and turns back into that byte.
namespace ZymWindows::Platform {

std::u16string PathToText(const std::string& path);
std::string TextToPath(const std::u16string& text);

} // namespace ZymWindows::Platform
