#include "BuiltinConverters.h"
#include "WideUnits.h"

#include <algorithm>

namespace ZymCharset {

namespace {

class TableDecoder final : public Converter {
public:
    TableDecoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian)
        : m_Table(std::move(table)), m_LittleEndian(littleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool, bool stopOnError) const override {
        const auto* in = static_cast<const unsigned char*>(src);
        auto* out = static_cast<unsigned char*>(dst);
        const std::size_t count = std::min(srcLen, dstCap / 2);
        std::size_t i = 0;
        for (; i < count; ++i) {
            char16_t unit = m_Table->ToWide(in[i]);
            if (unit == SingleByteTable::UNDEFINED) {
                if (stopOnError)
                    break;
                unit = REPLACEMENT_CHARACTER;
            }
            WriteUnit(out + 2 * i, unit, m_LittleEndian);
        }
        produced = 2 * i;
        return i;
    }

private:
    std::shared_ptr<const SingleByteTable> m_Table;
    bool m_LittleEndian;
};

class TableEncoder final : public Converter {
public:
    TableEncoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian)
        : m_Table(std::move(table)), m_LittleEndian(littleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const override {
        auto* out = static_cast<unsigned char*>(dst);
        produced = 0;
        return WalkWideText(static_cast<const unsigned char*>(src), srcLen, m_LittleEndian,
                            endOfInput, [&](char32_t codePoint, bool valid) {
                                const int byte = valid ? m_Table->FromWide(codePoint) : -1;
                                if (byte < 0 && stopOnError)
                                    return Emit::Refused;
                                if (produced == dstCap)
                                    return Emit::Full;
                                out[produced++] = byte < 0 ? m_Table->Replacement()
                                                           : static_cast<unsigned char>(byte);
                                return Emit::Written;
                            });
    }

private:
    std::shared_ptr<const SingleByteTable> m_Table;
    bool m_LittleEndian;
};

} // namespace

ConverterPtr MakeTableDecoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian) {
    return std::make_shared<const TableDecoder>(std::move(table), littleEndian);
}

ConverterPtr MakeTableEncoder(std::shared_ptr<const SingleByteTable> table, bool littleEndian) {
    return std::make_shared<const TableEncoder>(std::move(table), littleEndian);
}

} // namespace ZymCharset
