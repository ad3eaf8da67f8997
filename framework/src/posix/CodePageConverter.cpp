#include "../ZymCharset/CodePageConverter.h"

#include "CodePageNames.h"

#include <cerrno>
#include <iconv.h>

namespace ZymCharset::Platform {

namespace {

class IconvConverter final : public CodePageConverter {
public:
    explicit IconvConverter(iconv_t descriptor) noexcept : m_Descriptor(descriptor) {}
    ~IconvConverter() override { iconv_close(m_Descriptor); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    Status Convert(const unsigned char*& in, std::size_t& inLeft, unsigned char*& out,
                   std::size_t& outLeft) override {
        // iconv's prototype takes char** for historical reasons; it never
        // writes through the input pointer.
        auto* inPtr = const_cast<char*>(reinterpret_cast<const char*>(in));
        auto* outPtr = reinterpret_cast<char*>(out);
        const std::size_t result = iconv(m_Descriptor, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        in = reinterpret_cast<const unsigned char*>(inPtr);
        out = reinterpret_cast<unsigned char*>(outPtr);
        if (result != static_cast<std::size_t>(-1))
            return Status::Done;
        switch (error) {
        case E2BIG:
            return Status::Full;
        case EINVAL:
            return Status::Incomplete;
        default:
            return Status::Invalid;
        }
    }

    Status Finish(unsigned char*& out, std::size_t& outLeft) override {
        auto* outPtr = reinterpret_cast<char*>(out);
        const std::size_t result = iconv(m_Descriptor, nullptr, nullptr, &outPtr, &outLeft);
        out = reinterpret_cast<unsigned char*>(outPtr);
        return result == static_cast<std::size_t>(-1) ? Status::Full : Status::Done;
    }

    void Reset() override { iconv(m_Descriptor, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_Descriptor;
};

const char* WideName(bool littleEndian) {
    return littleEndian ? "UTF-16LE" : "UTF-16BE";
}

std::unique_ptr<CodePageConverter> Open(const char* toName, const char* fromName) {
    if (!toName || !fromName)
        return nullptr;
    const iconv_t descriptor = iconv_open(toName, fromName);
    if (descriptor == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return std::make_unique<IconvConverter>(descriptor);
}

} // namespace

std::unique_ptr<CodePageConverter> CodePageConverter::OpenDecoder(Zym::CHARSET from,
                                                                  bool littleEndian) {
    return Open(WideName(littleEndian), CodePageName(from));
}

std::unique_ptr<CodePageConverter> CodePageConverter::OpenEncoder(Zym::CHARSET to,
                                                                  bool littleEndian) {
    return Open(CodePageName(to), WideName(littleEndian));
}

} // namespace ZymCharset::Platform
