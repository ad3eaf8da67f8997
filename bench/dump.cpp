// A crash report of a process of 50 threads, next to eu-stack, which a user
// would otherwise run on the process to see its threads' stacks; and the
// report of a crash by an overflow of an 8 MB stack (about 260,000 frames).
// The helper's peak memory is reported as the largest resident size of the
// children (and, for the crash, grandchildren) the benchmark waited for.
#include <ZymWindows/ProcessDump.h>

#include <ZymThread/EventSemaphore.h>

#include <benchmark/benchmark.h>

#include <atomic>

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int THREADS = 50;

// Threads that wait, each a few frames deep, until the benchmark ends.
class ParkedThreads {
public:
    ParkedThreads() {
        for (int i = 0; i < THREADS; ++i)
            m_Threads.emplace_back([this] { m_Release.Wait(); });
    }
    ~ParkedThreads() {
        m_Release.Set();
        for (auto& thread : m_Threads)
            thread.join();
    }
    ParkedThreads(const ParkedThreads&) = delete;
    ParkedThreads& operator=(const ParkedThreads&) = delete;

private:
    ZymThread::EventSemaphore m_Release{true, false};
    std::vector<std::thread> m_Threads;
};

std::string ReportPath() {
    return (std::filesystem::temp_directory_path() / ("bench-dump-" + std::to_string(getpid())))
        .string();
}

void HelperPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["children_max_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void ReportOf50Threads(benchmark::State& state) {
    const ParkedThreads threads;
    const std::string path = ReportPath();
    for (auto _ : state)
        benchmark::DoNotOptimize(ZymWindows::ProcessDump().Write(path));
    std::filesystem::remove(path);
    HelperPeakMemory(state);
}
BENCHMARK(ReportOf50Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

void EuStackOf50Threads(benchmark::State& state) {
    const ParkedThreads threads;
    const std::string pid = std::to_string(getpid());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* const argv[] = {const_cast<char*>("eu-stack"), const_cast<char*>("-s"),
                          const_cast<char*>("-p"), const_cast<char*>(pid.c_str()), nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, "eu-stack", &actions, nullptr, argv, environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
            state.SkipWithError("eu-stack could not be run");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(EuStackOf50Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

std::atomic<int> g_Depth{0};

// A small frame each, as most functions have.
[[gnu::noinline]] void Overflow() {
    volatile char block[16];
    block[0] = static_cast<char>(g_Depth.fetch_add(1));
    if (g_Depth.load() >= 0) // always; the compiler cannot know that
        Overflow();
    block[1] = block[0];
}

void ReportOfAStackOverflow(benchmark::State& state) {
    // The helper is the crashing child's child: adopted and waited for
    // here, its peak counts among the children's.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const std::string folder = ReportPath() + "-overflow/";
    std::filesystem::create_directories(folder);
    const rlimit stack{8 << 20, 8 << 20};
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            setrlimit(RLIMIT_STACK, &stack);
            ZymWindows::InstallCrashHandler(folder, false);
            Overflow();
            _exit(0);
        }
        // Until every descendant has ended: the crashing child and its helper.
        while (waitpid(-1, nullptr, 0) > 0) {
        }
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
    HelperPeakMemory(state);
}
BENCHMARK(ReportOfAStackOverflow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
