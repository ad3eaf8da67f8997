#include "BuiltinConverters.h"
#include "WideUnits.h"

namespace ZymCharset {

namespace {

class WideToWide final : public Converter {
public:
    WideToWide(bool fromLittleEndian, bool toLittleEndian)
        : m_FromLittleEndian(fromLittleEndian), m_ToLittleEndian(toLittleEndian) {}

    std::size_t Convert(const void* src, std::size_t srcLen, void* dst, std::size_t dstCap,
                        std::size_t& produced, bool endOfInput, bool stopOnError) const override {
        const auto* in = static_cast<const unsigned char*>(src);
        auto* out = static_cast<unsigned char*>(dst);
        produced = 0;
        std::size_t pos = 0;
        while (srcLen - pos >= 2) {
            std::size_t units = 1;
            if (IsHighSurrogate(ReadUnit(in + pos, m_FromLittleEndian))) {
                if (srcLen - pos >= 4) {
                    if (IsLowSurrogate(ReadUnit(in + pos + 2, m_FromLittleEndian)))
                        units = 2;
                } else if (!endOfInput) {
                    break; // the low half may follow
                }
            }
            if (dstCap - produced < 2 * units)
                break;
            for (std::size_t k = 0; k < units; ++k, pos += 2, produced += 2)
                WriteUnit(out + produced, ReadUnit(in + pos, m_FromLittleEndian), m_ToLittleEndian);
        }
        if (endOfInput && srcLen - pos == 1 && !stopOnError && dstCap - produced >= 2) {
            WriteUnit(out + produced, REPLACEMENT_CHARACTER, m_ToLittleEndian);
            produced += 2;
            pos = srcLen;
        }
        return pos;
    }

private:
    bool m_FromLittleEndian;
    bool m_ToLittleEndian;
};

} // namespace

ConverterPtr MakeWideToWide(bool fromLittleEndian, bool toLittleEndian) {
    return std::make_shared<const WideToWide>(fromLittleEndian, toLittleEndian);
}

} // namespace ZymCharset
