#pragma once

#include <string>

namespace zymtest {

// A local account made for one test with a random password and removed
// again, rights included. Needs an administrator.
class LocalAccount {
public:
    LocalAccount();
    ~LocalAccount();
    LocalAccount(const LocalAccount&) = delete;
    LocalAccount& operator=(const LocalAccount&) = delete;

    // The right a service logon needs ("Log on as a service").
    void GrantServiceLogon();
    // Makes the account expire as of yesterday.
    void Expire();

    const std::u16string& Name() const { return m_Name; }
    const std::u16string& Password() const { return m_Password; }

private:
    std::u16string m_Name;
    std::u16string m_Password;
    bool m_Granted = false;
};

} // namespace zymtest
