#include "pipe/win32/PipeName.h"

#include <ZymCharset/Conv.h>

namespace ZymWindows::Platform::Win32 {

std::wstring WidePipePath(const std::string& path) {
    const std::u16string wide = ZymCharset::Conv::ToWide(Zym::CHARSET_ANSI, path);
    return std::wstring(wide.begin(), wide.end());
}

} // namespace ZymWindows::Platform::Win32
