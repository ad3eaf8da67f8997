#include "ZymSecurity/SecurityID.h"

namespace ZymSecurity {

SecurityID::SecurityID(const BinarySID& sid, const std::u16string& name,
                       const std::u16string& domain, SIDType type)
    : m_SID(sid), m_String(sid.ToString()), m_Name(name), m_Domain(domain), m_Type(type) {}

} // namespace ZymSecurity
