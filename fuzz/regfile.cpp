// Parses arbitrary bytes as a .reg document. Whatever parses must format
// and parse again to the same entries.
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/RegFile.h>

#include <cstdint>
#include <cstdlib>

namespace RegFile = ZymWindows::RegFile;

namespace {

bool Same(const RegFile::Entry& a, const RegFile::Entry& b) {
    const bool sameData =
        a.kind == RegFile::Entry::DELETE_VALUE || (a.type == b.type && a.data == b.data);
    return a.kind == b.kind && a.key.Full() == b.key.Full() && a.valueName == b.valueName &&
           sameData;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<RegFile::Entry> entries;
    try {
        entries = RegFile::Parse(data, size);
    } catch (const ZymWindows::RegistryException&) {
        return 0;
    }
    // UTF-16 carries every text the parser can produce, lone surrogates too.
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    for (const char16_t unit : RegFile::Format(entries)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    const auto again = RegFile::Parse(bytes.data(), bytes.size());
    if (again.size() != entries.size())
        std::abort();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!Same(entries[i], again[i]))
            std::abort();
    }
    return 0;
}
