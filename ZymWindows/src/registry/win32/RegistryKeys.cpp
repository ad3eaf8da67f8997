#include "registry/RegistryPlatform.h"

#include "registry/win32/RegistryText.h"

#include "registry/win32/RegistryWindows.h"

#include <vector>

namespace ZymWindows::Platform {

using Win32::CallName;

namespace {

// The longest names the registry holds, in UTF-16 units.
constexpr DWORD MAX_KEY_NAME = 255;
constexpr DWORD MAX_VALUE_NAME = 16383;

} // namespace

long RegOpenKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result) {
    return ::RegOpenKeyExW(parent, CallName(subPath).c_str(), 0, access, &result);
}

long RegCreateKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result) {
    return ::RegCreateKeyExW(parent, CallName(subPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             access, nullptr, &result, nullptr);
}

long RegCloseKey(HKEY key) {
    return ::RegCloseKey(key);
}

long RegDeleteKey(HKEY parent, std::u16string_view subPath) {
    return ::RegDeleteKeyW(parent, CallName(subPath).c_str());
}

long RegQueryInfoKey(HKEY key, unsigned long* subKeys, unsigned long* maxSubKeyLength,
                     unsigned long* values, unsigned long* maxValueNameLength) {
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subKeys, maxSubKeyLength, nullptr,
                              values, maxValueNameLength, nullptr, nullptr, nullptr);
}

long RegEnumKey(HKEY key, unsigned long index, std::u16string& name) {
    wchar_t buffer[MAX_KEY_NAME + 1];
    DWORD length = MAX_KEY_NAME + 1;
    const long error =
        ::RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_SUCCESS)
        name = Win32::FromCall(buffer, length);
    return error;
}

long RegEnumValue(HKEY key, unsigned long index, std::u16string& name) {
    std::vector<wchar_t> buffer(MAX_VALUE_NAME + 1);
    DWORD length = MAX_VALUE_NAME + 1;
    const long error =
        ::RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_SUCCESS)
        name = Win32::FromCall(buffer.data(), length);
    return error;
}

long RegSetValue(HKEY key, std::u16string_view name, unsigned long type, const void* data,
                 std::size_t size) {
    if (size > MAXDWORD)
        return ERROR_INVALID_PARAMETER;
    return ::RegSetValueExW(key, CallName(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                            static_cast<DWORD>(size));
}

long RegQueryValue(HKEY key, std::u16string_view name, unsigned long& type,
                   std::vector<unsigned char>* data) {
    const std::wstring valueName = CallName(name);
    DWORD size = 0;
    long error =
        ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, data ? &size : nullptr);
    // The value may grow between the size and the read: ask again.
    while (error == ERROR_SUCCESS && data) {
        data->resize(size);
        if (size == 0)
            break;
        error = ::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, data->data(), &size);
        if (error == ERROR_MORE_DATA) {
            error = ERROR_SUCCESS;
            continue;
        }
        if (error == ERROR_SUCCESS)
            data->resize(size);
        break;
    }
    return error;
}

long RegDeleteValue(HKEY key, std::u16string_view name) {
    return ::RegDeleteValueW(key, CallName(name).c_str());
}

} // namespace ZymWindows::Platform
