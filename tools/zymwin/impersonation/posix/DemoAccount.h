#pragma once

#include <string>

namespace zymwin {

// A local account made for the demo with useradd and chpasswd, with a
// random password, and removed again with userdel. Needs root.
class DemoAccount {
public:
    DemoAccount();
    ~DemoAccount();
    DemoAccount(const DemoAccount&) = delete;
    DemoAccount& operator=(const DemoAccount&) = delete;

    const std::string& Name() const { return m_Name; }
    const std::string& Password() const { return m_Password; }

private:
    std::string m_Name;
    std::string m_Password;
};

} // namespace zymwin
