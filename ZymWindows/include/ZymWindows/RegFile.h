#pragma once

#include <ZymWindows/Export.h>

#include <ZymWindows/Registry.h>

#include <cstddef>
#include <string>
#include <vector>

// Registration entries in the "Windows Registry Editor Version 5.00" format
// (.reg files): reading, writing, and applying them to the registry.
namespace ZymWindows::RegFile {

// A full key path split at its root. Roots are accepted in long form
// (HKEY_LOCAL_MACHINE) or short form (HKLM), in any letter case.
struct ZYMWINDOWS_EXPORT KeyPath {
    RegKeyW::STD_PARENT root;
    // The root's long name, e.g. HKEY_CURRENT_USER.
    std::u16string rootName;
    // The rest of the path, without the leading backslash; may be empty.
    std::u16string subPath;

    std::u16string Full() const;
    // Whether the sub path has an empty key name: a leading, doubled or
    // trailing backslash. Such a path names no key: the registry refuses it
    // (161), and documents neither hold nor write it.
    bool HasEmptyKeyName() const;
};

// False when the path does not start with a known root name.
ZYMWINDOWS_EXPORT bool ParseKeyPath(const std::u16string& path, KeyPath& result);

// One statement of a .reg document.
struct Entry {
    enum Kind { KEY, DELETE_KEY, VALUE, DELETE_VALUE };
    Kind kind;
    KeyPath key;
    // The value's name; empty for the default value.
    std::u16string valueName;
    unsigned long type = REG_NONE;
    // The data as stored: UTF-16LE for string types.
    std::vector<unsigned char> data;
    // Where the statement starts in its file (1-based), 0 when built in code.
    unsigned long line = 0;
};

// Parses a whole document (UTF-16 with its byte order mark, or UTF-8 with
// or without one). A malformed document raises RegistryException whose text
// starts with "line N: ".
ZYMWINDOWS_EXPORT std::vector<Entry> Parse(const void* bytes, std::size_t size);

// Applies the entries in order: keys are created (with their parents),
// trees and values deleted, values written. All or nothing: on failure
// nothing was changed, and RegistryException names the failing entry.
ZYMWINDOWS_EXPORT void Import(const std::vector<Entry>& entries);

// The key and its whole subtree as a document: UTF-16LE with a byte order
// mark and CR LF line ends, sub keys in enumeration order.
ZYMWINDOWS_EXPORT std::vector<unsigned char> Export(const KeyPath& key);

// The text of a document for entries, as Export writes it. A key path with
// an empty key name raises RegistryException.
ZYMWINDOWS_EXPORT std::u16string Format(const std::vector<Entry>& entries);

} // namespace ZymWindows::RegFile
