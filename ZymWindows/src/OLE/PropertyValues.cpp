#include "LittleEndian.h"

#include <Zym/DateTime.h>
#include <ZymWindows/OLEPropertyStorage.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace ZymWindows::OLE {

namespace {

enum VariantTypeCode : unsigned long {
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_FILETIME = 64,
    VT_VECTOR = 0x1000,
};

constexpr std::uint32_t MAX_STRING_LENGTH = 0x40000;
constexpr std::uint32_t MAX_VECTOR_ELEMENTS = 1024;
constexpr std::uint32_t MAX_NAME_LENGTH = 128;
// Real property sets nest a variant inside a vector at most; the limit only
// keeps a hostile chain of nested variants from exhausting the stack.
constexpr unsigned int MAX_NESTING = 8;

} // namespace

std::uint32_t PropertyStorage::Read32() const {
    unsigned char bytes[4];
    m_Buffer.Get(bytes, 4);
    return ReadLE32(bytes);
}

const unsigned char* PropertyStorage::ReadBytes(std::uint32_t n,
                                                std::vector<unsigned char>& heap) const {
    if (n < sizeof m_ScratchBuffer) {
        m_Buffer.Get(m_ScratchBuffer, n);
        return m_ScratchBuffer;
    }
    // Nothing is reserved for more bytes than the stream still holds.
    if (n > m_Buffer.Size() - m_Buffer.TellG())
        throw Zym::BinaryStreamGetEOFException();
    heap.resize(n);
    m_Buffer.Get(heap.data(), n);
    return heap.data();
}

bool PropertyStorage::GetPropertyValueFromBuffer(Zym::CHARSET cs, unsigned long type,
                                                 Zym::Variant& value) const {
    return ReadValue(cs, type, value, 0);
}

bool PropertyStorage::ReadValue(Zym::CHARSET cs, unsigned long type, Zym::Variant& value,
                                unsigned int nesting) const {
    if (nesting > MAX_NESTING)
        return false;
    if (type & VT_VECTOR)
        return ReadVector(cs, type & 0xFFF, value, nesting);
    unsigned char bytes[8];
    switch (type) {
    case VT_I2:
        m_Buffer.Get(bytes, 2);
        value = static_cast<short>(ReadLE16(bytes));
        return true;
    case VT_I4:
    case VT_ERROR:
        value = static_cast<int>(Read32());
        return true;
    case VT_R4:
        value = std::bit_cast<float>(Read32());
        return true;
    case VT_R8:
        m_Buffer.Get(bytes, 8);
        value = std::bit_cast<double>(ReadLE64(bytes));
        return true;
    case VT_BOOL:
        m_Buffer.Get(bytes, 2);
        value = ReadLE16(bytes) != 0;
        return true;
    case VT_VARIANT:
        return ReadValue(cs, Read32(), value, nesting + 1);
    case VT_UI1:
        m_Buffer.Get(bytes, 1);
        value = static_cast<unsigned char>(bytes[0]);
        return true;
    case VT_UI2:
        m_Buffer.Get(bytes, 2);
        value = static_cast<unsigned short>(ReadLE16(bytes));
        return true;
    case VT_UI4:
        value = static_cast<unsigned int>(Read32());
        return true;
    case VT_LPSTR:
        return ReadString(cs, false, value);
    case VT_LPWSTR:
        return ReadString(cs, true, value);
    case VT_FILETIME: {
        m_Buffer.Get(bytes, 8);
        const std::int64_t seconds = Zym::FileTimeToUnixTime(ReadLE64(bytes));
        // Local time cannot express instants before 1970.
        if (seconds < 0)
            return false;
        try {
            value = Zym::DateTime(seconds);
        } catch (const Zym::DateTimeException&) {
            return false;
        }
        return true;
    }
    default:
        return false;
    }
}

// A vector becomes one text: the elements' text forms separated by CR LF.
// Elements are read back to back, as they are stored.
bool PropertyStorage::ReadVector(Zym::CHARSET cs, unsigned long elementType, Zym::Variant& value,
                                 unsigned int nesting) const {
    const std::uint32_t count = std::min(Read32(), MAX_VECTOR_ELEMENTS);
    std::u16string text;
    for (std::uint32_t i = 0; i < count; ++i) {
        Zym::Variant element;
        if (!ReadValue(cs, elementType, element, nesting + 1))
            continue;
        try {
            const std::u16string elementText = element.AsWString();
            if (!text.empty())
                text += u"\r\n";
            text += elementText;
        } catch (const Zym::Variant::VariantException&) {
        }
    }
    if (text.empty())
        return false;
    value = std::move(text);
    return true;
}

bool PropertyStorage::ReadString(Zym::CHARSET cs, bool wide, Zym::Variant& value) const {
    if (!wide && !ZymCharset::Conv::IsImplemented(cs))
        return false;
    const std::uint32_t count = std::min(Read32(), MAX_STRING_LENGTH);
    if (count == 0)
        return false;
    std::vector<unsigned char> heap;
    const std::uint32_t size = wide ? 2 * count : count;
    const unsigned char* bytes = ReadBytes(size, heap);
    std::u16string text;
    if (wide) {
        std::uint32_t units = count;
        while (units > 0 && ReadLE16(bytes + 2 * (units - 1)) == 0)
            --units;
        text.resize(units);
        for (std::uint32_t i = 0; i < units; ++i)
            text[i] = static_cast<char16_t>(ReadLE16(bytes + 2 * i));
        if (text.empty())
            return false;
    } else {
        std::uint32_t length = count;
        while (length > 0 && bytes[length - 1] == 0)
            --length;
        if (length == 0)
            return false;
        ConvertString(cs, Zym::CHARSET_WIDE, bytes, length, text);
    }
    value = std::move(text);
    return true;
}

void PropertyStorage::GetPropertyNameDictionnary(
    Zym::CHARSET cs, std::map<unsigned long, std::u16string>& names) const {
    const std::uint32_t entries = Read32();
    const bool wide = ZymCharset::Conv::IsWCCS(cs);
    std::vector<unsigned char> heap;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t id = Read32();
        const std::uint32_t length = Read32();
        if (length == 0)
            continue;
        const std::uint32_t m = std::min(length, MAX_NAME_LENGTH);
        const unsigned char* bytes = ReadBytes(wide ? 2 * m : m, heap);
        if (m == 1)
            continue;
        std::u16string name;
        if (wide) {
            name.resize(m - 1);
            for (std::uint32_t u = 0; u + 1 < m; ++u)
                name[u] = static_cast<char16_t>(ReadLE16(bytes + 2 * u));
            if (m_Buffer.TellG() % 4 != 0)
                m_Buffer.SeekG(4 - m_Buffer.TellG() % 4, Zym::SeekDir::Current);
        } else {
            ConvertString(cs, Zym::CHARSET_WIDE, bytes, m - 1, name);
        }
        if (!name.empty())
            names[id] = std::move(name);
    }
}

} // namespace ZymWindows::OLE
