#pragma once

#include "ZymWindows/Registry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The registry store. Names are UTF-16 and compared without regard to case;
// string data is stored as the wide calls see it (UTF-16LE). Every function
// returns a Win32 error number, 0 on success.
namespace ZymWindows::Platform {

// Opens an existing key below `parent` (an empty sub path opens the parent
// itself again) with the given access rights.
long RegOpenKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result);
// Opens the key, creating it and any missing keys on its path.
long RegCreateKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result);
long RegCloseKey(HKEY key);
// Deletes a key that has no sub keys, with its values.
long RegDeleteKey(HKEY parent, std::u16string_view subPath);

// Counts and longest name lengths (UTF-16 units); null pointers are skipped.
long RegQueryInfoKey(HKEY key, unsigned long* subKeys, unsigned long* maxSubKeyLength,
                     unsigned long* values, unsigned long* maxValueNameLength);
// Sub keys enumerate in case-insensitive name order, values in the order
// they were first written; past the end: 259 (ERROR_NO_MORE_ITEMS).
long RegEnumKey(HKEY key, unsigned long index, std::u16string& name);
long RegEnumValue(HKEY key, unsigned long index, std::u16string& name);

long RegSetValue(HKEY key, std::u16string_view name, unsigned long type, const void* data,
                 std::size_t size);
// The type, and the data when `data` is not null.
long RegQueryValue(HKEY key, std::u16string_view name, unsigned long& type,
                   std::vector<unsigned char>* data);
long RegDeleteValue(HKEY key, std::u16string_view name);

// One change of a batch. Paths are below a predefined root.
struct RegChange {
    enum Kind { CREATE_KEY, DELETE_TREE, SET_VALUE, DELETE_VALUE };
    Kind kind;
    HKEY root;
    std::u16string path;
    std::u16string valueName;
    unsigned long type = 0;
    std::vector<unsigned char> data;
};

// Applies the changes in order, all or nothing for each store they touch.
// Deleting a missing key or value is not an error. On failure, `failedAt`
// is the index of the change that failed.
long RegApplyChanges(const std::vector<RegChange>& changes, std::size_t& failedAt);

} // namespace ZymWindows::Platform
