#include "LocalAccount.h"

#include <ZymCharset/Utf.h>

#include <windows.h>

#include <lm.h>
#include <ntsecapi.h>

#include <atomic>
#include <ctime>
#include <random>
#include <stdexcept>
#include <vector>

namespace zymtest {

namespace {

wchar_t* Wide(std::u16string& text) {
    return reinterpret_cast<wchar_t*>(text.data());
}

void Check(unsigned long status, const char* what) {
    if (status != NERR_Success)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(status));
}

std::vector<unsigned char> AccountSid(const std::u16string& name) {
    std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
    DWORD sidSize = static_cast<DWORD>(sid.size());
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountNameW(nullptr, reinterpret_cast<const wchar_t*>(name.c_str()), sid.data(),
                              &sidSize, domain, &domainSize, &use))
        Check(::GetLastError(), "LookupAccountNameW");
    return sid;
}

// The local security policy, open to change accounts' rights.
class Policy {
public:
    Policy() {
        LSA_OBJECT_ATTRIBUTES attributes{};
        Check(::LsaNtStatusToWinError(::LsaOpenPolicy(
                  nullptr, &attributes, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, &m_Handle)),
              "LsaOpenPolicy");
    }
    ~Policy() { ::LsaClose(m_Handle); }
    Policy(const Policy&) = delete;
    Policy& operator=(const Policy&) = delete;
    LSA_HANDLE Get() const { return m_Handle; }

private:
    LSA_HANDLE m_Handle = nullptr;
};

std::atomic<int> g_Count{0};

} // namespace

LocalAccount::LocalAccount()
    : m_Name(ZymCharset::FromUtf8("zymimp" + std::to_string(::GetCurrentProcessId()) + "x" +
                                  std::to_string(g_Count++))) {
    std::random_device random;
    // Long and of every kind, to pass a complexity policy.
    m_Password = ZymCharset::FromUtf8("Zy-" + std::to_string(random()) + "-" +
                                      std::to_string(random()) + "qK");
    USER_INFO_1 info{};
    info.usri1_name = Wide(m_Name);
    info.usri1_password = Wide(m_Password);
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_flags = UF_SCRIPT | UF_DONT_EXPIRE_PASSWD;
    Check(::NetUserAdd(nullptr, 1, reinterpret_cast<BYTE*>(&info), nullptr), "NetUserAdd");
}

LocalAccount::~LocalAccount() {
    // A right left behind names a deleted account; nothing worse.
    if (m_Granted) {
        try {
            std::vector<unsigned char> sid = AccountSid(m_Name);
            const Policy policy;
            ::LsaRemoveAccountRights(policy.Get(), sid.data(), TRUE, nullptr, 0);
        } catch (const std::runtime_error&) {
        }
    }
    ::NetUserDel(nullptr, reinterpret_cast<const wchar_t*>(m_Name.c_str()));
}

void LocalAccount::GrantServiceLogon() {
    std::vector<unsigned char> sid = AccountSid(m_Name);
    const Policy policy;
    wchar_t right[] = L"SeServiceLogonRight";
    LSA_UNICODE_STRING rights{static_cast<USHORT>(sizeof right - sizeof(wchar_t)),
                              static_cast<USHORT>(sizeof right), right};
    Check(::LsaNtStatusToWinError(::LsaAddAccountRights(policy.Get(), sid.data(), &rights, 1)),
          "LsaAddAccountRights");
    m_Granted = true;
}

void LocalAccount::Expire() {
    USER_INFO_1017 info{static_cast<DWORD>(std::time(nullptr) - 24 * 60 * 60)};
    Check(::NetUserSetInfo(nullptr, reinterpret_cast<const wchar_t*>(m_Name.c_str()), 1017,
                           reinterpret_cast<BYTE*>(&info), nullptr),
          "NetUserSetInfo");
}

} // namespace zymtest
