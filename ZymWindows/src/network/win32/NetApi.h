#pragma once

// <windows.h> and the network management headers for the network family's
// own files. The A/W switch macros of the account lookups carry the names of
// the provider's functions, so they go: the calls here name their W form.
#include <windows.h>

#include <dsgetdc.h>
#include <lm.h>

#undef LookupAccountName
#undef LookupAccountSid

#include <span>
#include <string>

namespace ZymWindows::Network::Win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide calls");

// A name as the wide calls take it: the caller's text, zero-terminated.
inline const wchar_t* CallText(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The same for the calls whose prototypes take a writable string that they
// only read.
inline wchar_t* CallTextWritable(const std::u16string& text) {
    return const_cast<wchar_t*>(CallText(text));
}

inline std::u16string FromCall(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// A buffer that a network management call allocated, freed with
// NetApiBufferFree whatever the call returned.
template <class Entry> class NetBuffer {
public:
    NetBuffer() = default;
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    ~NetBuffer() {
        if (m_Entries)
            ::NetApiBufferFree(m_Entries);
    }

    // Where a call stores the buffer, in the type its prototype names.
    LPBYTE* Bytes() noexcept { return reinterpret_cast<LPBYTE*>(&m_Entries); }
    void** Untyped() noexcept { return reinterpret_cast<void**>(&m_Entries); }
    Entry** Typed() noexcept { return &m_Entries; }
    const Entry* Get() const noexcept { return m_Entries; }
    // The first `count` entries; none when the call returned no buffer.
    std::span<const Entry> Entries(DWORD count) const noexcept {
        return m_Entries ? std::span<const Entry>(m_Entries, count) : std::span<const Entry>();
    }

private:
    Entry* m_Entries = nullptr;
};

} // namespace ZymWindows::Network::Win32
