// This computer's users and groups through the account queries: a cached
// answer against one read afresh from the account database (the cache
// emptied before each), and the identity of a user resolved by name. Then
// the same listing of 800, 3,200 and 12,800 users, each served by
// nss_wrapper in a process of its own, the first listing (no identity known
// yet) timed apart.
#include <ZymSecurity/SecurityIDCache.h>
#include <ZymWindows/NTNetwork.h>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using ZymWindows::NTNetwork;

constexpr const char* NSS_WRAPPER = "/usr/lib/x86_64-linux-gnu/libnss_wrapper.so";
constexpr const char* USERS_VARIABLE = "ZYM_BENCH_USERS";
constexpr int DATABASE_SIZES[] = {800, 3200, 12800};

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
    std::size_t listed = 0;
    for (auto _ : state) {
        NTNetwork::ClearCache();
        NTNetwork::SIDs users;
        NTNetwork::GetLocalUsers(u"", users);
        listed = users.size();
        benchmark::DoNotOptimize(users.data());
    }
    state.counters["users"] = static_cast<double>(listed);
}
BENCHMARK(UsersReadAfresh)->Unit(benchmark::kMillisecond);

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

// An account database of `users` users in `folder`, for nss_wrapper.
void WriteDatabase(const std::filesystem::path& folder, int users) {
    std::ofstream passwd(folder / "passwd");
    for (int i = 0; i < users; ++i)
        passwd << "benchuser" << i << ":x:" << 100000 + i << ":100000::/nonexistent:/bin/false\n";
    std::ofstream group(folder / "group");
    group << "root:x:0:\nbenchusers:x:100000:\n";
}

// Runs this program on a database of `users` users, timing only the
// listings; false if it could not be run.
bool RunOnDatabase(const char* self, int users) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zym-bench-network-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    WriteDatabase(folder, users);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        setenv("LD_PRELOAD", NSS_WRAPPER, 1);
        setenv("NSS_WRAPPER_PASSWD", (folder / "passwd").c_str(), 1);
        setenv("NSS_WRAPPER_GROUP", (folder / "group").c_str(), 1);
        setenv(USERS_VARIABLE, std::to_string(users).c_str(), 1);
        execl(self, self, "--benchmark_filter=UsersReadAfresh", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = -1;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
    }
    std::filesystem::remove_all(folder);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The first listing of a database, before any of its identities is known.
void TimeFirstListing() {
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t startedCpu = std::clock();
    NTNetwork::SIDs users;
    NTNetwork::GetLocalUsers(u"", users);
    const double cpu = 1000.0 * static_cast<double>(std::clock() - startedCpu) / CLOCKS_PER_SEC;
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - started;
    std::printf("first listing of %zu users: %.1f ms, %.1f ms CPU\n", users.size(), took.count(),
                cpu);
}

} // namespace

int main(int argc, char** argv) {
    const bool onDatabase = std::getenv(USERS_VARIABLE) != nullptr;
    if (onDatabase)
        TimeFirstListing();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (onDatabase)
        return 0;
    if (!std::filesystem::exists(NSS_WRAPPER)) {
        std::printf("nss_wrapper is not installed: no listings of large databases\n");
        return 0;
    }
    for (const int users : DATABASE_SIZES)
        if (!RunOnDatabase(argv[0], users))
            return 1;
    return 0;
}
