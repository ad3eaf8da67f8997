#pragma once

#include <Zym/Export.h>

#include <string>
#include <string_view>

namespace Zym {

// Case-insensitive order of narrow strings: a-z fold to A-Z while comparing
// and a proper prefix orders first.
struct ZYM_EXPORT NoCase {
    static int Compare(std::string_view a, std::string_view b) noexcept;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return Compare(a, b) < 0;
    }
};

// Case-insensitive equality and order of wide strings (a-z and A-Z only).
struct ZYM_EXPORT WNoCase {
    static bool IsEqual(std::u16string_view a, std::u16string_view b) noexcept;
    static int Compare(std::u16string_view a, std::u16string_view b) noexcept;
    bool operator()(std::u16string_view a, std::u16string_view b) const noexcept {
        return Compare(a, b) < 0;
    }
};

// ASCII lower-casing; other characters are kept.
ZYM_EXPORT std::string ToLower(std::string_view text);
ZYM_EXPORT std::u16string ToLower(std::u16string_view text);

} // namespace Zym
