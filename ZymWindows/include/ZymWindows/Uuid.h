#pragma once

#include <ZymWindows/Export.h>

#include <ZymWindows/Guid.h>

#include <string>

namespace ZymWindows {

// A universally unique identifier. Its text form is 36 lower-case hex
// digits in groups of 8-4-4-4-12 without braces; parsing also takes upper
// case, and failing that resolves the text as a ProgID registered under
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes\<ProgID>\CLSID.
class ZYMWINDOWS_EXPORT Uuid {
public:
    // The nil UUID.
    Uuid();
    Uuid(const Uuid& other);
    explicit Uuid(const GUID& guid);
    // Raise WindowsInvalidUUIDStringException for an empty text or one that
    // is neither the 36-character form nor a registered ProgID.
    explicit Uuid(const std::string& text);
    explicit Uuid(const std::u16string& text);
    ~Uuid();
    Uuid& operator=(const Uuid& other);

    GUID& GetUUID() noexcept { return m_Guid; }
    const GUID& GetUUID() const noexcept { return m_Guid; }

    static Uuid Generate();

    const std::string AsString() const;
    const std::u16string AsWString() const;

    friend ZYMWINDOWS_EXPORT bool operator==(const Uuid& a, const Uuid& b) noexcept;

private:
    void StringToUuid(const std::string& text, GUID& guid) const;
    bool ProgIdToUuid(const std::string& progId, GUID& guid) const;

    GUID m_Guid;
};

} // namespace ZymWindows
