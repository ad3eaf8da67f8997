#include "registry/posix/RegistryNames.h"

#include <ZymCharset/Utf.h>

#include <locale.h>
#include <wctype.h>

namespace ZymWindows::Platform::Posix {

namespace {

// The C library's Unicode case tables; null where the C.UTF-8 locale is
// missing, and then only ASCII letters fold.
locale_t UnicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

char16_t Upper(char16_t unit, locale_t locale) {
    if (unit < 0x80)
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    // Surrogates stand for characters outside the plane, which never fold.
    if (!locale || (unit >= 0xD800 && unit <= 0xDFFF))
        return unit;
    const wint_t upper = towupper_l(static_cast<wint_t>(unit), locale);
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

} // namespace

std::string StoredName(std::u16string_view name) {
    return ZymCharset::ToUtf8(name);
}

std::u16string NameFromStore(const char* utf8, std::size_t size) {
    // Most names are ASCII, which widens unit by unit.
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] >= 0x80)
            return ZymCharset::FromUtf8(std::string_view(utf8, size));
    }
    return std::u16string(bytes, bytes + size);
}

std::string FoldedName(std::u16string_view name) {
    const locale_t locale = UnicodeLocale();
    std::u16string upper(name);
    for (char16_t& unit : upper)
        unit = Upper(unit, locale);
    return ZymCharset::ToUtf8(upper);
}

} // namespace ZymWindows::Platform::Posix
