// The value side of RegKeyT; instantiated in Registry.cpp.
#include "RegMessages.h"
#include "RegText.h"
#include "registry/RegistryPlatform.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/Registry.h"

#include <Zym/LastError.h>

namespace ZymWindows {

namespace {

// The name as a narrow-text registry call receives it: a wide name passes
// through code page 1252 first.
std::u16string AnsiCallName(const std::string& name) {
    return RegText::Wide(name);
}
std::u16string AnsiCallName(const std::u16string& name) {
    return RegText::Wide(RegText::Narrow(name));
}

} // namespace

template <class C>
RegValue<C> RegKeyT<C>::SetValue(const String& name, unsigned long type, const void* data,
                                 std::size_t size) {
    const long error = Platform::RegSetValue(m_KeyHandle, RegText::Wide(name), type, data, size);
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, FullKeyName(), name);
    return RegValue<C>(this, name);
}

template <class C>
RegValue<C> RegKeyT<C>::CreateStringValue(const String& name, const std::string& text) {
    const auto bytes = RegText::ToBytes(RegText::Wide(text), true);
    const long error =
        Platform::RegSetValue(m_KeyHandle, AnsiCallName(name), REG_SZ, bytes.data(), bytes.size());
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, FullKeyName(), name);
    return RegValue<C>(this, name);
}

template <class C>
RegValue<C> RegKeyT<C>::CreateWStringValue(const String& name, const std::u16string& text) {
    const auto bytes = RegText::ToBytes(text, true);
    return SetValue(name, REG_SZ, bytes.data(), bytes.size());
}

template <class C>
RegValue<C> RegKeyT<C>::CreateDWORDValue(const String& name, unsigned long value) {
    const auto dword = static_cast<std::uint32_t>(value);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(dword), static_cast<unsigned char>(dword >> 8),
        static_cast<unsigned char>(dword >> 16), static_cast<unsigned char>(dword >> 24)};
    return SetValue(name, REG_DWORD, bytes, sizeof bytes);
}

template <class C>
RegValue<C> RegKeyT<C>::CreateBinaryValue(const String& name,
                                          Zym::BinaryStreamBufT<unsigned int>& data) {
    std::vector<unsigned char> bytes(data.Size());
    bytes.resize(data.Read(bytes.data(), static_cast<unsigned int>(bytes.size())));
    return SetValue(name, REG_BINARY, bytes.data(), bytes.size());
}

template <class C> RegValue<C> RegKeyT<C>::GetStringValue(const String& name) {
    return RegValue<C>(this, name);
}
template <class C> RegValue<C> RegKeyT<C>::GetStringValue(const String& name) const {
    return RegValue<C>(const_cast<RegKeyT*>(this), name);
}
template <class C> RegValue<C> RegKeyT<C>::GetWStringValue(const String& name) {
    return RegValue<C>(this, name);
}
template <class C> RegValue<C> RegKeyT<C>::GetWStringValue(const String& name) const {
    return RegValue<C>(const_cast<RegKeyT*>(this), name);
}
template <class C> RegValue<C> RegKeyT<C>::GetDWORDValue(const String& name) {
    return RegValue<C>(this, name);
}
template <class C> RegValue<C> RegKeyT<C>::GetDWORDValue(const String& name) const {
    return RegValue<C>(const_cast<RegKeyT*>(this), name);
}
template <class C> RegValue<C> RegKeyT<C>::GetBinaryValue(const String& name) {
    return RegValue<C>(this, name);
}
template <class C> RegValue<C> RegKeyT<C>::GetBinaryValue(const String& name) const {
    return RegValue<C>(const_cast<RegKeyT*>(this), name);
}

template <class C> bool RegKeyT<C>::ValueExists(const String& name) const {
    unsigned long type = 0;
    return Platform::RegQueryValue(m_KeyHandle, RegText::Wide(name), type, nullptr) !=
           Zym::ERROR_FILE_NOT_FOUND;
}

template <class C> typename RegKeyT<C>::VALUE_TYPE RegKeyT<C>::GetValueType(const String& name) {
    unsigned long type = 0;
    const long error = Platform::RegQueryValue(m_KeyHandle, RegText::Wide(name), type, nullptr);
    // These failures name the value where others name the key.
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, name, String());
    switch (type) {
    case REG_DWORD:
        return DWORD_TYPE;
    case REG_SZ:
        return STRING_TYPE;
    case REG_BINARY:
        return BINARY_TYPE;
    default:
        RegValueBase::ThrowInvalidRegKeyFormat(name, String());
    }
}

template <class C> void RegKeyT<C>::DeleteValue(const String& name) {
    const long error = Platform::RegDeleteValue(m_KeyHandle, RegText::Wide(name));
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, name, String());
}

template <class C>
void RegKeyT<C>::CollectValueNames(std::vector<String>& names, bool reserve) const {
    unsigned long count = 0;
    unsigned long longest = 0;
    long error = Platform::RegQueryInfoKey(m_KeyHandle, nullptr, nullptr, &count, &longest);
    if (error != Zym::ERROR_SUCCESS)
        ThrowSystemText(error);
    if (reserve && names.capacity() < count)
        names.reserve(count);
    std::u16string name;
    name.reserve(longest + 1);
    for (unsigned long index = count; index-- > 0;) {
        error = Platform::RegEnumValue(m_KeyHandle, index, name);
        if (error != Zym::ERROR_SUCCESS)
            ThrowSystemText(error);
        names.push_back(RegText::FromWide<C>(name));
    }
}

template <class C> void RegKeyT<C>::DeleteAllValues() {
    std::vector<String> names;
    CollectValueNames(names, false);
    for (const String& name : names)
        DeleteValue(name);
}

template <class C> void RegKeyT<C>::GetValuesNames(std::vector<String>& names) const {
    CollectValueNames(names, true);
}

} // namespace ZymWindows
