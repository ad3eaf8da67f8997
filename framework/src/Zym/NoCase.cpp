#include "Zym/NoCase.h"

namespace Zym {

namespace {

template <class C> C FoldUp(C c) noexcept {
    return c >= 'a' && c <= 'z' ? C(c - 'a' + 'A') : c;
}
template <class C> C FoldDown(C c) noexcept {
    return c >= 'A' && c <= 'Z' ? C(c - 'A' + 'a') : c;
}

template <class C> int CompareFolded(std::basic_string_view<C> a, std::basic_string_view<C> b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        using U = std::make_unsigned_t<C>;
        const auto x = static_cast<U>(FoldUp(a[i])), y = static_cast<U>(FoldUp(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

template <class C> std::basic_string<C> Lowered(std::basic_string_view<C> text) {
    std::basic_string<C> out(text);
    for (auto& c : out)
        c = FoldDown(c);
    return out;
}

} // namespace

int NoCase::Compare(std::string_view a, std::string_view b) noexcept {
    return CompareFolded(a, b);
}

bool WNoCase::IsEqual(std::u16string_view a, std::u16string_view b) noexcept {
    return a.size() == b.size() && CompareFolded(a, b) == 0;
}

int WNoCase::Compare(std::u16string_view a, std::u16string_view b) noexcept {
    return CompareFolded(a, b);
}

std::string ToLower(std::string_view text) {
    return Lowered(text);
}

std::u16string ToLower(std::u16string_view text) {
    return Lowered(text);
}

} // namespace Zym
