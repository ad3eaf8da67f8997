#include "ZymMessages/ZymMessages.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

int ZymMessagesInit::ms_Cnt = 0;

namespace ZymMessages {

namespace {

using Key = std::pair<std::string, long>;

struct Catalog {
    std::map<Key, std::u16string> texts;
    std::vector<std::string> blobNames;
};

// Neither the lock nor the catalog pointer is ever destroyed: a thread that
// outlives main may still render an exception's text during exit.
std::shared_mutex& Lock() {
    static auto* const lock = new std::shared_mutex;
    return *lock;
}
Catalog* g_Catalog = nullptr; // guarded by Lock()

// Reads little-endian fields of a blob without ever passing its end.
class BlobReader {
public:
    BlobReader(const unsigned char* bytes, std::size_t size) : m_Bytes(bytes), m_Left(size) {}

    bool U8(std::uint8_t& value) { return Raw(&value, 1); }
    bool U32(std::uint32_t& value) {
        unsigned char b[4];
        if (!Raw(b, 4))
            return false;
        value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }
    bool Raw(void* out, std::size_t count) {
        if (count > m_Left)
            return false;
        std::memcpy(out, m_Bytes, count);
        m_Bytes += count;
        m_Left -= count;
        return true;
    }
    std::size_t Left() const { return m_Left; }

private:
    const unsigned char* m_Bytes;
    std::size_t m_Left;
};

// Record layout: module length and name, code, text format (2: UTF-16LE),
// a has-text flag (1), text length and text, and a trailing count of
// further variants (0).
bool ParseBlob(const void* bytes, std::size_t size, std::map<Key, std::u16string>& out) {
    BlobReader reader(static_cast<const unsigned char*>(bytes), size);
    std::uint32_t count = 0;
    if (!reader.U32(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t moduleLength = 0, code = 0, format = 0, textLength = 0;
        std::uint8_t hasText = 0, variants = 0;
        if (!reader.U32(moduleLength) || moduleLength > reader.Left())
            return false;
        std::string module(moduleLength, '\0');
        if (!reader.Raw(module.data(), moduleLength) || !reader.U32(code) || !reader.U32(format) ||
            !reader.U8(hasText) || !reader.U32(textLength) || textLength % 2 != 0 ||
            textLength > reader.Left())
            return false;
        std::vector<unsigned char> raw(textLength);
        if (!reader.Raw(raw.data(), textLength) || !reader.U8(variants))
            return false;
        std::u16string text(textLength / 2, u'\0');
        for (std::size_t k = 0; k < text.size(); ++k)
            text[k] = static_cast<char16_t>(raw[2 * k] | (raw[2 * k + 1] << 8));
        out[{module, static_cast<long>(static_cast<std::int32_t>(code))}] = std::move(text);
    }
    return reader.Left() == 0;
}

} // namespace

bool IsLoaded(const std::string& name) {
    std::shared_lock lock(Lock());
    if (!g_Catalog)
        return false;
    for (const auto& loaded : g_Catalog->blobNames)
        if (loaded == name)
            return true;
    return false;
}

void Init() {
    std::unique_lock lock(Lock());
    if (!g_Catalog)
        g_Catalog = new Catalog;
}

bool Load(const void* bytes, std::size_t size, const char* name) {
    std::map<Key, std::u16string> parsed;
    if (!bytes || !ParseBlob(bytes, size, parsed))
        return false;
    std::unique_lock lock(Lock());
    if (!g_Catalog)
        return false;
    for (auto& [key, text] : parsed)
        g_Catalog->texts[key] = std::move(text);
    g_Catalog->blobNames.emplace_back(name ? name : "");
    return true;
}

std::u16string ReadMessage(const std::string& module, long code, Zym::Language) {
    std::shared_lock lock(Lock());
    if (!g_Catalog)
        return {};
    const auto found = g_Catalog->texts.find({module, code});
    return found == g_Catalog->texts.end() ? std::u16string() : found->second;
}

void Free() {
    std::unique_lock lock(Lock());
    delete g_Catalog;
    g_Catalog = nullptr;
}

bool IsInitialized() {
    std::shared_lock lock(Lock());
    return g_Catalog != nullptr;
}

} // namespace ZymMessages
