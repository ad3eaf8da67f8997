#include "NetworkFixture.h"

#include "network/ProviderRegistry.h"

namespace nettest {

// Wine clears the thread's last error while it dispatches the first C++
// exception of a process; one exception ahead of the tests lets them see
// the codes that the queries leave.
void NetworkQueries::SetUpTestSuite() {
    struct Warmup {};
    try {
        throw Warmup();
    } catch (const Warmup&) {
    }
}

void NetworkQueries::SetUp() {
    UseNetworkOf(3);
    NTNetwork::ClearCache();
}

void NetworkQueries::UseNetworkOf(unsigned int users) {
    m_Network = std::make_shared<FakeNetwork>(users);
    ZymWindows::Network::InstallProvider(m_Network);
}

void NetworkQueries::TearDown() {
    ZymWindows::Network::InstallProvider(nullptr);
    NTNetwork::ClearCache();
}

std::vector<std::u16string> Names(const NTNetwork::SIDs& identities) {
    std::vector<std::u16string> names;
    for (const auto& identity : identities)
        names.push_back(identity->GetDomain() + u"\\" + identity->GetName());
    return names;
}

} // namespace nettest
