#pragma once

#include "CfbBuilder.h"

#include <Zym/Variant.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cfbtest {

inline std::u16string Text(const Zym::Variant& value) {
    return value.Get(Zym::g_VariantTraitsWStringType);
}

// Writes property set streams value by value, so that tests can choose every
// type, code page and damage.
namespace props {

inline void Append16(Bytes& out, std::uint32_t value) {
    Append(out, LittleEndian(value, 2));
}
inline void Append32(Bytes& out, std::uint32_t value) {
    Append(out, LittleEndian(value, 4));
}
inline Bytes Int32(std::uint32_t value) {
    return LittleEndian(value, 4);
}
inline Bytes Typed(std::uint32_t type, const Bytes& payload) {
    return Concat({Int32(type), payload});
}
inline Bytes I4(std::int32_t value) {
    return Typed(3, Int32(static_cast<std::uint32_t>(value)));
}
inline Bytes CodePage(std::uint16_t codePage) {
    return Typed(2, LittleEndian(codePage, 2));
}
// A count and exactly these bytes; a VT_LPSTR of them (the terminator is up to the caller).
inline Bytes Counted(const std::string& bytes) {
    return Concat(
        {Int32(static_cast<std::uint32_t>(bytes.size())), Bytes(bytes.begin(), bytes.end())});
}
inline Bytes Lpstr(const std::string& bytes) {
    return Typed(30, Counted(bytes));
}
inline Bytes Lpsz(const std::string& text) {
    return Lpstr(text + '\0');
}
inline Bytes Lpwstr(const std::u16string& units) {
    Bytes payload = Int32(static_cast<std::uint32_t>(units.size()));
    for (char16_t unit : units)
        Append16(payload, unit);
    return Typed(31, payload);
}
inline Bytes FileTime(std::uint64_t value) {
    return Typed(64, LittleEndian(value, 8));
}
// 100-ns intervals from 1601 to `unixSeconds`.
inline std::uint64_t FileTimeOf(std::int64_t unixSeconds) {
    return static_cast<std::uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
}

// A dictionary: names in a narrow code page, each with its terminator.
inline Bytes Dictionary(const std::vector<std::pair<std::uint32_t, std::string>>& names) {
    Bytes out = Int32(static_cast<std::uint32_t>(names.size()));
    for (const auto& [id, name] : names) {
        Append32(out, id);
        Append32(out, static_cast<std::uint32_t>(name.size() + 1));
        Append(out, Bytes(name.c_str(), name.c_str() + name.size() + 1));
    }
    return out;
}

struct Section {
    Bytes formatID;
    std::vector<std::pair<std::uint32_t, Bytes>> entries;
};

inline Bytes FormatID(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                      std::uint64_t data4BigEndian) {
    Bytes data4 = LittleEndian(data4BigEndian, 8);
    std::reverse(data4.begin(), data4.end());
    return Concat({Int32(data1), LittleEndian(data2, 2), LittleEndian(data3, 2), data4});
}
inline Bytes SummaryInformation() {
    return FormatID(0xF29F85E0, 0x4FF9, 0x1068, 0xAB9108002B27B3D9ULL);
}
inline Bytes DocSummaryInformation() {
    return FormatID(0xD5CDD502, 0x2E9C, 0x101B, 0x939708002B2CF9AEULL);
}
inline Bytes UserDefinedProperties() {
    return FormatID(0xD5CDD505, 0x2E9C, 0x101B, 0x939708002B2CF9AEULL);
}

inline Bytes SectionBytes(const Section& section) {
    Bytes values;
    Bytes table;
    const std::uint32_t tableEnd = 8 + 8 * static_cast<std::uint32_t>(section.entries.size());
    for (const auto& [id, value] : section.entries) {
        Append32(table, id);
        Append32(table, tableEnd + static_cast<std::uint32_t>(values.size()));
        Append(values, value);
        values.resize((values.size() + 3) / 4 * 4, 0);
    }
    return Concat({Int32(tableEnd + static_cast<std::uint32_t>(values.size())),
                   Int32(static_cast<std::uint32_t>(section.entries.size())), table, values});
}

// A whole stream: header, section list, then the sections in order.
inline Bytes Stream(const std::vector<Section>& sections) {
    Bytes out;
    Append16(out, 0xFFFE);
    Append16(out, 0);
    Append32(out, 0x00020006);
    out.resize(24, 0);
    Append32(out, static_cast<std::uint32_t>(sections.size()));
    std::uint32_t offset = 28 + 20 * static_cast<std::uint32_t>(sections.size());
    Bytes bodies;
    for (const Section& section : sections) {
        Append(out, section.formatID);
        Append32(out, offset + static_cast<std::uint32_t>(bodies.size()));
        Append(bodies, SectionBytes(section));
    }
    return Concat({out, bodies});
}

} // namespace props

} // namespace cfbtest
