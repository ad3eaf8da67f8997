#include "Command.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/NTNetwork.h>

#include <cstdio>
#include <string>

namespace zymwin {

namespace {

using ZymWindows::NTNetwork;

std::string Narrow(const std::u16string& text) {
    return ZymCharset::ToUtf8(text);
}

// Asks this computer for its name, its administrators group and its first
// users twice, showing that the second answer comes from the cache (the very
// same identities).
void NetDemo() {
    std::printf("computer: %s\n", Narrow(NTNetwork::GetLocalComputerName()).c_str());
    std::printf("administrators: %s\n",
                Narrow(NTNetwork::GetLocalAdministratorGroupName()).c_str());
    NTNetwork::SIDs users, again;
    NTNetwork::GetLocalUsers(u"", users);
    constexpr std::size_t SHOWN = 3;
    for (std::size_t i = 0; i < users.size() && i < SHOWN; ++i)
        std::printf("  %s\t%s\\%s\n", Narrow(users[i]->GetString()).c_str(),
                    Narrow(users[i]->GetDomain()).c_str(), Narrow(users[i]->GetName()).c_str());
    NTNetwork::GetLocalUsers(u"", again);
    const bool same = !users.empty() && again.size() == users.size() && again[0] == users[0];
    std::printf("%zu user(s); asked again: %s\n", users.size(),
                same ? "the same identities, from the cache" : "a different answer");
}

const Registration g_NetDemo(DemoStep{70, "Domain and account queries", NetDemo});

} // namespace

} // namespace zymwin
