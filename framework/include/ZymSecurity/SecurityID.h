#pragma once

#include <Zym/Export.h>

#include <ZymSecurity/BinarySID.h>

#include <Zym/RefCounter.h>

#include <string>

namespace ZymSecurity {

// The kind of account a SID names, with the values of SID_NAME_USE.
enum SIDType : std::uint32_t {
    SidTypeUser = 1,
    SidTypeGroup = 2,
    SidTypeDomain = 3,
    SidTypeAlias = 4,
    SidTypeWellKnownGroup = 5,
    SidTypeDeletedAccount = 6,
    SidTypeInvalid = 7,
    SidTypeUnknown = 8,
    SidTypeComputer = 9,
    SidTypeLabel = 10,
    SidTypeLogonSession = 11,
};

// An account identity: its SID with the name and domain of the account, as
// the machine that resolved it knows them. Immutable and shared; made only
// by SecurityIDCache.
class ZYM_EXPORT SecurityID : public Zym::SPRefCounter {
public:
    const BinarySID& GetSID() const noexcept { return m_SID; }
    const void* GetPSID() const noexcept { return m_SID.Bytes().data(); }
    unsigned int GetLength() const noexcept {
        return static_cast<unsigned int>(m_SID.Bytes().size());
    }
    const std::u16string& GetString() const noexcept { return m_String; }
    const std::u16string& GetName() const noexcept { return m_Name; }
    const std::u16string& GetDomain() const noexcept { return m_Domain; }
    SIDType GetType() const noexcept { return m_Type; }

private:
    friend class SecurityIDCache;
    SecurityID(const BinarySID& sid, const std::u16string& name, const std::u16string& domain,
               SIDType type);

    BinarySID m_SID;
    std::u16string m_String;
    std::u16string m_Name;
    std::u16string m_Domain;
    SIDType m_Type;
};

} // namespace ZymSecurity
