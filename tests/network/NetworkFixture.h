#pragma once

#include "FakeNetwork.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/NTNetwork.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeindex>

namespace nettest {

using ZymWindows::NTNetwork;

// Every test starts with empty caches and a fresh scripted network. The
// groups of users stay cached across ClearCache, so tests that fill them
// use user names of their own.
class NetworkQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;
    // Replaces the scripted network by one with `users` users.
    void UseNetworkOf(unsigned int users);

    std::shared_ptr<FakeNetwork> m_Network;
};

// The class of the exception that `call` raised; void if none.
template <class Call> std::type_index Raised(Call call) {
    try {
        call();
    } catch (const Zym::BaseException& error) {
        return typeid(error);
    }
    return typeid(void);
}

// What `query` lists for `arguments`, in a list of its own.
template <class List = NTNetwork::SIDs, class... Parameters, class... Arguments>
List Listed(void (*query)(Parameters...), const Arguments&... arguments) {
    List list;
    query(arguments..., list);
    return list;
}

// Identities as "DOMAIN\name" text, in order.
std::vector<std::u16string> Names(const NTNetwork::SIDs& identities);

} // namespace nettest
