// The directory observer next to what it is built on and what a user would
// otherwise pick. Create-to-callback latency of one file against a raw
// inotify read loop; then 100,000 creates, in one directory and spread over
// new subdirectories, watched by the observer, by a raw inotify loop (one
// directory only) and by `inotifywait -m` (inotify-tools): events per
// second, files reported, files lost, and whether the loss was told.
#include <ZymWindows/DirectoryObserver.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// 100,000 files, or what --files says (scripts/bench.sh --smoke uses fewer).
int FILES = 100000;
constexpr int FILES_PER_DIRECTORY = 100;
// A watcher that reports nothing for this long has reported all it will.
constexpr auto QUIET = std::chrono::seconds(1);

struct Scratch {
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "bench-observer-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

// "f12" and the like (built with snprintf: GCC 12 -O3 warns wrongly about
// "f" + std::to_string(i)).
std::string Name(char prefix, long number) {
    char name[24];
    std::snprintf(name, sizeof name, "%c%ld", prefix, number);
    return name;
}

void Create(const fs::path& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        close(fd);
}

// File `i` is named f<i>, in the directory itself or in d<i / 100>.
fs::path FilePath(const fs::path& root, int i, bool spread) {
    const std::string name = Name('f', i);
    return spread ? root / Name('d', i / FILES_PER_DIRECTORY) / name : root / name;
}

void CreateAll(const fs::path& root, bool spread) {
    for (int i = 0; i < FILES; ++i) {
        if (spread && i % FILES_PER_DIRECTORY == 0)
            mkdir((root / Name('d', i / FILES_PER_DIRECTORY)).c_str(), 0755);
        Create(FilePath(root, i, spread));
    }
}

// Which files a watcher reported, by number; written by one thread, read
// once that thread is quiet.
class Tally {
public:
    Tally() : m_Seen(FILES, 0) {}
    // `name` ends in f<number>.
    void Report(std::string_view path) {
        const auto slash = path.find_last_of("/\\");
        const std::string_view name = path.substr(slash == std::string_view::npos ? 0 : slash + 1);
        if (name.size() < 2 || name[0] != 'f')
            return;
        const int number = std::atoi(std::string(name.substr(1)).c_str());
        if (number >= 0 && number < FILES && !m_Seen[number]) {
            m_Seen[number] = 1;
            ++m_Reported;
        }
        Touch();
    }
    void Overflow() {
        ++m_Overflows;
        Touch();
    }
    void Touch() {
        m_Last.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
        m_Activity.fetch_add(1, std::memory_order_release);
    }
    // Waits until every file is in, or nothing has come for QUIET.
    void WaitUntilDone() {
        unsigned long long activity = 0;
        auto since = Clock::now();
        while (m_Reported.load(std::memory_order_acquire) < FILES) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const unsigned long long now = m_Activity.load(std::memory_order_acquire);
            if (now != activity) {
                activity = now;
                since = Clock::now();
            } else if (Clock::now() - since > QUIET) {
                break;
            }
        }
    }
    Clock::time_point Last() const {
        return Clock::time_point(Clock::duration(m_Last.load(std::memory_order_acquire)));
    }
    void Count(benchmark::State& state, Clock::time_point start) const {
        const double seconds = std::chrono::duration<double>(Last() - start).count();
        const int reported = m_Reported.load();
        state.counters["reported"] = reported;
        state.counters["lost"] = FILES - reported;
        state.counters["overflows"] = m_Overflows.load();
        state.counters["silent_loss"] = reported < FILES && m_Overflows.load() == 0;
        state.counters["events_per_s"] = seconds > 0 ? reported / seconds : 0;
        state.SetIterationTime(seconds);
    }

private:
    std::vector<char> m_Seen;
    std::atomic<int> m_Reported{0};
    std::atomic<int> m_Overflows{0};
    std::atomic<long long> m_Last{0};
    std::atomic<unsigned long long> m_Activity{0};
};

// The observer's callback for the throughput runs.
class TallyObserver : public ZymFile::ObserverCallInterface {
public:
    explicit TallyObserver(Tally& tally) : m_Tally(tally) {}
    void ErrorOccurred(const ZymFile::PathT<char16_t>&, long, const std::u16string&) override {}
    void EventsOccurred(std::vector<ZymFile::DeviceEvent>& events) override {
        if (events.empty())
            m_Tally.Overflow();
        std::string path;
        for (const auto& event : events) {
            if (event.kind != ZymFile::DeviceEvent::CREATED)
                continue;
            path.assign(event.path.begin(), event.path.end()); // the names are ASCII
            m_Tally.Report(path);
        }
    }

private:
    Tally& m_Tally;
};

// The observer's callback for the latency run: counts created files.
class CountingObserver : public ZymFile::ObserverCallInterface {
public:
    void ErrorOccurred(const ZymFile::PathT<char16_t>&, long, const std::u16string&) override {}
    void EventsOccurred(std::vector<ZymFile::DeviceEvent>& events) override {
        seen.fetch_add(events.size(), std::memory_order_release);
        seen.notify_all();
    }
    std::atomic<unsigned long> seen{0};
};

void WaitFor(const std::atomic<unsigned long>& counter, unsigned long count) {
    for (unsigned long now = counter.load(std::memory_order_acquire); now < count;
         now = counter.load(std::memory_order_acquire))
        counter.wait(now, std::memory_order_acquire);
}

// A raw inotify watcher of one directory: a thread in a blocking read loop
// that counts IN_CREATE events, and reports them to a tally if given one.
class RawInotify {
public:
    RawInotify(const fs::path& directory, Tally* tally) : m_Tally(tally) {
        m_Fd = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(m_Fd, directory.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVE | IN_MODIFY | IN_ATTRIB);
        m_Stop = directory / ".stop";
        m_Thread = std::thread([this] { Loop(); });
    }
    ~RawInotify() {
        Create(m_Stop);
        m_Thread.join();
        close(m_Fd);
    }
    std::atomic<unsigned long> seen{0};

private:
    void Loop() {
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t got = read(m_Fd, buffer, sizeof buffer);
            if (got <= 0)
                return;
            unsigned long created = 0;
            for (ssize_t offset = 0; offset < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += sizeof(inotify_event) + event->len;
                if (event->mask & IN_Q_OVERFLOW) {
                    if (m_Tally)
                        m_Tally->Overflow();
                    continue;
                }
                if (!(event->mask & IN_CREATE) || !event->len)
                    continue;
                if (std::strcmp(event->name, ".stop") == 0)
                    return;
                ++created;
                if (m_Tally)
                    m_Tally->Report(event->name);
            }
            seen.fetch_add(created, std::memory_order_release);
            seen.notify_all();
        }
    }

    Tally* m_Tally;
    int m_Fd = -1;
    fs::path m_Stop;
    std::thread m_Thread;
};

// Create-to-callback latency: one file created, then waiting until the
// watcher has seen it.
void LatencyObserver(benchmark::State& state) {
    const Scratch scratch;
    ZymWindows::WinNTDirectoryObserver observer;
    Zym::SmartPtr<CountingObserver> counter = new CountingObserver;
    observer.AttachObserver(std::u16string(scratch.path.u16string()), false, counter);
    unsigned long i = 0;
    for (auto _ : state) {
        Create(scratch.path / Name('f', static_cast<long>(i)));
        WaitFor(counter->seen, ++i);
    }
}

void LatencyRawInotify(benchmark::State& state) {
    const Scratch scratch;
    RawInotify raw(scratch.path, nullptr);
    unsigned long i = 0;
    for (auto _ : state) {
        Create(scratch.path / Name('f', static_cast<long>(i)));
        WaitFor(raw.seen, ++i);
    }
}

void ThroughputObserver(benchmark::State& state) {
    const bool spread = state.range(0) != 0;
    for (auto _ : state) {
        const Scratch scratch;
        Tally tally;
        ZymWindows::WinNTDirectoryObserver observer;
        observer.AttachObserver(std::u16string(scratch.path.u16string()), spread,
                                new TallyObserver(tally));
        const auto start = Clock::now();
        CreateAll(scratch.path, spread);
        tally.WaitUntilDone();
        tally.Count(state, start);
    }
}

void ThroughputRawInotify(benchmark::State& state) {
    for (auto _ : state) {
        const Scratch scratch;
        Tally tally;
        const auto start = Clock::now();
        {
            RawInotify raw(scratch.path, &tally);
            CreateAll(scratch.path, false);
            tally.WaitUntilDone();
        }
        tally.Count(state, start);
    }
}

// inotifywait -m [-r] --format '%e %w%f' DIR, read from its standard output.
void ThroughputInotifywait(benchmark::State& state) {
    const bool spread = state.range(0) != 0;
    for (auto _ : state) {
        const Scratch scratch;
        Tally tally;
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> args = {"inotifywait", "-m",       "-e",
                                         "create",      "--format", "%e %w%f"};
        if (spread)
            args.push_back("-r");
        args.push_back(scratch.path.string());
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int spawned =
            posix_spawnp(&pid, "inotifywait", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        if (spawned != 0) {
            close(out[0]);
            close(err[0]);
            state.SkipWithError("inotifywait is not installed (Debian inotify-tools)");
            return;
        }
        // Ready once it says so on stderr.
        std::string said;
        char piece[4096];
        while (said.find("Watches established.") == std::string::npos) {
            const ssize_t got = read(err[0], piece, sizeof piece);
            if (got <= 0)
                break;
            said.append(piece, static_cast<std::size_t>(got));
        }
        std::thread reader([&] {
            std::string pending;
            char block[65536];
            for (;;) {
                const ssize_t got = read(out[0], block, sizeof block);
                if (got <= 0)
                    return;
                pending.append(block, static_cast<std::size_t>(got));
                std::size_t start = 0, newline;
                while ((newline = pending.find('\n', start)) != std::string::npos) {
                    const std::string_view line(pending.data() + start, newline - start);
                    if (line.find("Q_OVERFLOW") != std::string_view::npos)
                        tally.Overflow();
                    else if (line.rfind("CREATE ", 0) == 0)
                        tally.Report(line);
                    start = newline + 1;
                }
                pending.erase(0, start);
            }
        });
        const auto begin = Clock::now();
        CreateAll(scratch.path, spread);
        tally.WaitUntilDone();
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        reader.join();
        close(out[0]);
        close(err[0]);
        tally.Count(state, begin);
    }
}

} // namespace

BENCHMARK(LatencyObserver)->UseRealTime();
BENCHMARK(LatencyRawInotify)->UseRealTime();
// Argument 0: the files in one directory; 1: in new subdirectories of 100 each.
BENCHMARK(ThroughputObserver)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ThroughputRawInotify)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ThroughputInotifywait)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // --files N: the number of files of the throughput runs.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--files") == 0) {
            FILES = std::max(FILES_PER_DIRECTORY, std::atoi(argv[i + 1]));
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
