// Reading values through their handles; instantiated in Registry.cpp.
#include "RegText.h"
#include "registry/RegistryPlatform.h"

#include "ZymWindows/Registry.h"

#include <Zym/LastError.h>

#include <type_traits>

namespace ZymWindows {

namespace {

bool IsStringType(unsigned long type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// What a narrow-text registry call returns for string data: each UTF-16
// unit becomes one code page 1252 byte.
void ToAnsiData(std::vector<unsigned char>& data) {
    const std::string text = RegText::Narrow(RegText::FromBytes(data.data(), data.size()));
    data.assign(text.begin(), text.end());
}

} // namespace

template <class C> RegValue<C>::~RegValue() {
    m_Key = nullptr;
}

// Queries the value, raising "does not exist" when it is missing and the
// system text for any other failure; returns the type, data as stored.
template <class C>
static unsigned long QueryStored(const RegValue<C>& value, std::vector<unsigned char>& data) {
    unsigned long type = 0;
    const long error =
        Platform::RegQueryValue(value.Key()->KeyHandle(), RegText::Wide(value.Name()), type, &data);
    if (error == Zym::ERROR_FILE_NOT_FOUND)
        RegValueBase::ThrowInvalidRegValue(value.Key()->FullKeyName(), value.Name());
    if (error != Zym::ERROR_SUCCESS)
        RegValueBase::ThrowLastError(error, value.Key()->FullKeyName(), value.Name());
    return type;
}

template <class C> static void RequireFormat(const RegValue<C>& value, bool matches) {
    if (!matches)
        RegValueBase::ThrowInvalidRegKeyFormat(value.Key()->FullKeyName(), value.Name());
}

template <class C> std::string RegValue<C>::ReadString() const {
    std::vector<unsigned char> data;
    RequireFormat(*this, QueryStored(*this, data) == REG_SZ);
    ToAnsiData(data);
    // The size counts the terminating zero, which is dropped.
    const std::size_t size = data.empty() ? 0 : data.size() - 1;
    return std::string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
}

template <class C> std::u16string RegValue<C>::ReadWString() const {
    std::vector<unsigned char> data;
    RequireFormat(*this, QueryStored(*this, data) == REG_SZ);
    std::u16string text = RegText::FromBytes(data.data(), data.size());
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

template <class C> unsigned long RegValue<C>::ReadDWORD() const {
    std::vector<unsigned char> data;
    RequireFormat(*this, QueryStored(*this, data) == REG_DWORD && data.size() == 4);
    return static_cast<unsigned long>(data[0]) | static_cast<unsigned long>(data[1]) << 8 |
           static_cast<unsigned long>(data[2]) << 16 | static_cast<unsigned long>(data[3]) << 24;
}

template <class C> void RegValue<C>::ReadBinary(Zym::BinaryStreamBufT<unsigned int>& out) const {
    std::vector<unsigned char> data;
    RequireFormat(*this, QueryStored(*this, data) == REG_BINARY);
    out.Put(data.data(), static_cast<unsigned int>(data.size()));
}

template <class C> unsigned long RegValue<C>::ReadRaw(std::vector<unsigned char>& data) const {
    const unsigned long type = QueryStored(*this, data);
    if (std::is_same_v<C, char> && IsStringType(type))
        ToAnsiData(data);
    return type;
}

} // namespace ZymWindows
