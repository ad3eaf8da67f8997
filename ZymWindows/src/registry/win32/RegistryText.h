#pragma once

#include <string>
#include <string_view>

namespace ZymWindows::Platform::Win32 {

// A name as the wide registry calls take it: zero-terminated wchar_t, which
// is UTF-16 here as char16_t is.
inline std::wstring CallName(std::u16string_view name) {
    return std::wstring(name.begin(), name.end());
}

inline std::u16string FromCall(const wchar_t* name, unsigned long length) {
    return std::u16string(name, name + length);
}

} // namespace ZymWindows::Platform::Win32
