#pragma once

#include <string>
#include <string_view>

namespace ZymWindows::Platform::Posix {

// A name as the store keeps it (UTF-8).
std::string StoredName(std::u16string_view name);
// A name as read back from the store.
std::u16string NameFromStore(const char* utf8, std::size_t size);
// The name upper-cased unit by unit over the whole Basic Multilingual
// Plane, as the registry compares names; UTF-8.
std::string FoldedName(std::u16string_view name);

} // namespace ZymWindows::Platform::Posix
