// This computer's users and groups through the account queries: a cached
// answer against one read afresh from the account database (the cache
// emptied before each), and the identity of a user resolved by name.
#include <ZymSecurity/SecurityIDCache.h>
#include <ZymWindows/NTNetwork.h>

#include <benchmark/benchmark.h>

namespace {

using ZymWindows::NTNetwork;

void CachedUsers(benchmark::State& state) {
    NTNetwork::SIDs warm;
    NTNetwork::GetLocalUsers(u"", warm);
    for (auto _ : state) {
        NTNetwork::SIDs users;
        NTNetwork::GetLocalUsers(u"", users);
        benchmark::DoNotOptimize(users.data());
    }
    state.counters["users"] = static_cast<double>(warm.size());
}
BENCHMARK(CachedUsers);

void UsersReadAfresh(benchmark::State& state) {
    for (auto _ : state) {
        NTNetwork::ClearCache();
        NTNetwork::SIDs users;
        NTNetwork::GetLocalUsers(u"", users);
        benchmark::DoNotOptimize(users.data());
    }
}
BENCHMARK(UsersReadAfresh);

void GroupMembersReadAfresh(benchmark::State& state) {
    for (auto _ : state) {
        NTNetwork::ClearCache();
        NTNetwork::SIDs members;
        NTNetwork::GetMembersForLocalGroup(u"", u"root", members);
        benchmark::DoNotOptimize(members.data());
    }
}
BENCHMARK(GroupMembersReadAfresh);

void AccountByName(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ZymSecurity::SecurityIDCache::CreateSecurityID(u"root", u"."));
}
BENCHMARK(AccountByName);

} // namespace

BENCHMARK_MAIN();
