#pragma once

#include "CfbBuilder.h"

#include <Zym/Variant.h>

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
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}
inline void Append32(Bytes& out, std::uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}
inline Bytes Typed(std::uint32_t type, const Bytes& payload) {
    Bytes out;
    out.reserve(4 + payload.size());
    Append32(out, type);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
inline Bytes Int32(std::uint32_t value) {
    Bytes out;
    Append32(out, value);
    return out;
}
inline Bytes I4(std::int32_t value) {
    return Typed(3, Int32(static_cast<std::uint32_t>(value)));
}
inline Bytes CodePage(std::uint16_t codePage) {
    Bytes payload;
    Append16(payload, codePage);
    return Typed(2, payload);
}
// A VT_LPSTR of exactly these bytes (the terminator is up to the caller).
inline Bytes Lpstr(const std::string& bytes) {
    Bytes payload = Int32(static_cast<std::uint32_t>(bytes.size()));
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    return Typed(30, payload);
}
inline Bytes Lpwstr(const std::u16string& units) {
    Bytes payload = Int32(static_cast<std::uint32_t>(units.size()));
    for (char16_t unit : units)
        Append16(payload, unit);
    return Typed(31, payload);
}
inline Bytes FileTime(std::uint64_t value) {
    Bytes payload = Int32(static_cast<std::uint32_t>(value));
    Append32(payload, static_cast<std::uint32_t>(value >> 32));
    return Typed(64, payload);
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
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
    }
    return out;
}

struct Section {
    Bytes formatID;
    std::vector<std::pair<std::uint32_t, Bytes>> entries;
};

inline Bytes FormatID(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                      std::uint64_t data4BigEndian) {
    Bytes out = Int32(data1);
    Append16(out, data2);
    Append16(out, data3);
    for (int i = 7; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(data4BigEndian >> (8 * i)));
    return out;
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
        values.insert(values.end(), value.begin(), value.end());
        values.resize((values.size() + 3) / 4 * 4, 0);
    }
    Bytes out = Int32(tableEnd + static_cast<std::uint32_t>(values.size()));
    Append32(out, static_cast<std::uint32_t>(section.entries.size()));
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), values.begin(), values.end());
    return out;
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
        out.insert(out.end(), section.formatID.begin(), section.formatID.end());
        Append32(out, offset + static_cast<std::uint32_t>(bodies.size()));
        const Bytes body = SectionBytes(section);
        bodies.insert(bodies.end(), body.begin(), body.end());
    }
    out.insert(out.end(), bodies.begin(), bodies.end());
    return out;
}

} // namespace props

} // namespace cfbtest
