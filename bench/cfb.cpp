// Compound documents next to the tools a user would otherwise pick:
// python3-olefile and gsf (libgsf-bin), with `cat FILE >/dev/null` as the
// floor of reading the same bytes.
//
//  1. A file of a few hundred MB made by `gsf createole`, with thousands of
//     streams, most of them small enough for the mini stream: list it and
//     read every stream.
//  2. Many small real documents (copies of the LibreOffice samples of the
//     tests): extract their properties.
//  3. `zymwin cfb cat` of one 1 GiB stream: time and peak memory.
//
// Usage: bench_cfb [--mb N] [--cat-mb N] [--docs N]. Needs gsf, cat and
// /usr/bin/python3 with olefile. Everything is made in a scratch directory
// under $TMPDIR and removed at the end.
#include <ZymCharset/Utf.h>
#include <ZymFile/FileBuffer.h>
#include <ZymWindows/OLEStorage.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using ZymWindows::OLE::Storage;

const fs::path SOURCE_DIR = fs::path(__FILE__).parent_path();
const std::string PYTHON = "/usr/bin/python3";

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    std::string out;
};

// Runs a program with its output in a file (or /dev/null), its chatter on
// standard error dropped, and measures its
// wall time and peak resident memory.
Run Spawn(const std::vector<std::string>& argv, const fs::path& output = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "bench_cfb: cannot run %s\n", argv[0].c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_cfb: %s failed\n", argv[0].c_str());
        std::exit(1);
    }
    if (output != "/dev/null") {
        std::ifstream in(output);
        std::getline(in, run.out);
    }
    return run;
}

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The best of three runs, so that other load on the machine weighs less.
template <class F> auto Best(F&& measure) {
    auto best = measure();
    for (int i = 1; i < 3; ++i) {
        auto next = measure();
        if (next.seconds < best.seconds)
            best = next;
    }
    return best;
}

void WriteRandom(const fs::path& path, std::size_t size, std::mt19937_64& random) {
    std::vector<std::uint64_t> block((size + 7) / 8);
    for (auto& word : block)
        word = random();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(size));
}

// Discards what is put into it, counting the bytes.
class CountingSink : public Zym::BinaryStreamBuf {
public:
    unsigned long long Count() const { return m_Count; }

protected:
    unsigned int vPut(const void*, unsigned int n) override {
        m_Count += n;
        return n;
    }
    unsigned int vTellP() const override { return 0; }
    unsigned int vSeekP(std::int64_t, Zym::SeekDir) override { return 0; }
    unsigned int vGet(void*, unsigned int) override { return 0; }
    unsigned int vTellG() const override { return 0; }
    unsigned int vSeekG(std::int64_t, Zym::SeekDir) override { return 0; }
    void vFlush() override {}
    void vClear() override {}
    void vClearMemory() override {}
    void vClearEnd() override {}
    unsigned int vSize() const override { return 0; }
    bool vEndOfFile() const override { return true; }

private:
    unsigned long long m_Count = 0;
};

// Every stream below `storage`, read into the sink; collects the paths.
void ReadAll(Storage& storage, const std::string& prefix, CountingSink& sink,
             std::vector<std::string>& paths, std::size_t& streams) {
    for (const auto& item : storage.Streams()) {
        storage.ReadStream(item.ID, sink);
        paths.push_back(prefix + ZymCharset::ToUtf8(item.Name));
        ++streams;
    }
    for (const auto& item : storage.Storages())
        ReadAll(*storage.OpenStorage(item.ID), prefix + ZymCharset::ToUtf8(item.Name) + "/", sink,
                paths, streams);
}

struct Options {
    std::size_t mb = 300;
    std::size_t catMb = 1024;
    std::size_t docs = 400;
};

void Usage(std::FILE* out) {
    std::fputs("Usage: bench_cfb [--mb N] [--cat-mb N] [--docs N]\n"
               "Reads a compound file of N MB (default 300), copies N MB of streams out\n"
               "(default 1024) and reads N documents (default 400), beside olefile and gsf.\n",
               out);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            Usage(stdout);
            std::exit(0);
        }
        char* end = nullptr;
        const std::size_t value = i + 1 < argc ? std::strtoul(argv[i + 1], &end, 10) : 0;
        if (!end || *end || value == 0 ||
            (flag != "--mb" && flag != "--cat-mb" && flag != "--docs")) {
            std::fprintf(stderr, "bench_cfb: bad option '%s'\n", flag.c_str());
            Usage(stderr);
            std::exit(2);
        }
        (flag == "--mb" ? options.mb : flag == "--cat-mb" ? options.catMb : options.docs) = value;
    }
    return options;
}

fs::path Zymwin() {
    if (const char* fromEnvironment = std::getenv("ZYMWIN"))
        return fromEnvironment;
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools/zymwin/zymwin";
}

void Line(const char* what, double ours, double theirs, const char* them) {
    std::printf("  %-36s %8.3f s  vs %8.3f s  %-10s %7.1fx\n", what, ours, theirs, them,
                theirs / ours);
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const char* tmp = std::getenv("TMPDIR");
    const fs::path work =
        fs::path(tmp && *tmp ? tmp : "/tmp") / ("zym-bench-cfb-" + std::to_string(::getpid()));
    fs::create_directories(work / "tree");
    std::mt19937_64 random(42);

    // 1. The large file: 3/4 of the bytes in big streams, and thousands of
    // small ones in the mini stream, spread over 20 storages.
    std::printf("making a %zu MB compound file with gsf createole...\n", options.mb);
    std::size_t bytes = 0, files = 0, smallFiles = 0;
    std::uniform_int_distribution<std::size_t> small(100, 4000), large(100000, 500000);
    for (int dir = 0; dir < 20; ++dir)
        fs::create_directories(work / "tree" / ("dir" + std::to_string(dir)));
    while (bytes < options.mb * 1000000) {
        const bool isSmall = files % 3 != 0;
        const std::size_t size = isSmall ? small(random) : large(random);
        WriteRandom(work / "tree" / ("dir" + std::to_string(files % 20)) /
                        ("s" + std::to_string(files)),
                    size, random);
        bytes += size;
        ++files;
        smallFiles += isSmall;
    }
    std::printf("  %zu streams, %zu of them small enough for the mini stream\n", files, smallFiles);
    const fs::path big = work / "big.cfb";
    std::vector<std::string> create{"gsf", "createole", big.string()};
    for (const auto& entry : fs::directory_iterator(work / "tree"))
        create.push_back(entry.path().string());
    Spawn(create);
    fs::remove_all(work / "tree");
    Spawn({"cat", big.string()});

    std::vector<std::string> paths;
    std::size_t streams = 0;
    unsigned long long read = 0;
    const auto ours = Best([&] {
        Run run;
        paths.clear();
        streams = 0;
        CountingSink sink;
        run.seconds = Seconds([&] {
            ZymFile::FileBuffer file(big.string());
            Zym::SmartPtr<Storage> root = new Storage(u"big", "", file);
            ReadAll(*root, "", sink, paths, streams);
        });
        read = sink.Count();
        return run;
    });
    const auto floor = Best([&] { return Spawn({"cat", big.string()}); });
    const auto olefile = Best([&] {
        return Spawn({PYTHON, (SOURCE_DIR / "cfb_olefile.py").string(), "read", big.string()},
                     work / "olefile.out");
    });
    std::vector<std::string> gsfCat{"gsf", "cat", big.string()};
    gsfCat.insert(gsfCat.end(), paths.begin(), paths.end());
    const auto gsf = Best([&] { return Spawn(gsfCat); });

    std::printf("\n%s: %.0f MB, %zu streams (%zu small), %llu bytes read\n", big.filename().c_str(),
                fs::file_size(big) / 1e6, streams, files - files / 3 - 1, read);
    std::printf("  olefile read: %s (streams, bytes)\n", olefile.out.c_str());
    Line("list + read every stream", ours.seconds, olefile.seconds, "olefile");
    Line("", ours.seconds, gsf.seconds, "gsf cat");
    std::printf("  %-36s %8.3f s  vs %8.3f s  %-10s %7.2fx of the floor\n", "", ours.seconds,
                floor.seconds, "cat", ours.seconds / floor.seconds);
    fs::remove(big);

    // 2. Properties of many small documents.
    std::vector<std::string> docs;
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(SOURCE_DIR.parent_path() / "tests/data/cfb"))
        samples.push_back(entry.path());
    fs::create_directories(work / "docs");
    for (std::size_t i = 0; i < options.docs; ++i) {
        const fs::path& sample = samples[i % samples.size()];
        const fs::path copy = work / "docs" / (std::to_string(i) + sample.extension().string());
        fs::copy_file(sample, copy);
        docs.push_back(copy.string());
    }
    std::size_t found = 0;
    const auto oursProps = Best([&] {
        Run run;
        found = 0;
        run.seconds = Seconds([&] {
            for (const auto& doc : docs) {
                ZymFile::FileBuffer file(doc);
                Zym::SmartPtr<Storage> root = new Storage(u"doc", "", file);
                ZymWindows::OLE::PropertyStorage::MergedPropertyMap all;
                root->Properties(all);
                found += all.size();
            }
        });
        return run;
    });
    std::vector<std::string> olefileProps{PYTHON, (SOURCE_DIR / "cfb_olefile.py").string(),
                                          "props"};
    olefileProps.insert(olefileProps.end(), docs.begin(), docs.end());
    const auto olefilePropsRun = Best([&] { return Spawn(olefileProps, work / "props.out"); });
    const auto gsfProps = Best([&] {
        Run total;
        for (const auto& doc : docs)
            total.seconds += Spawn({"gsf", "listprops", doc}).seconds;
        return total;
    });
    std::printf("\n%zu documents, %zu properties found (olefile: %s)\n", docs.size(), found,
                olefilePropsRun.out.c_str());
    Line("properties of every document", oursProps.seconds, olefilePropsRun.seconds, "olefile");
    Line("", oursProps.seconds, gsfProps.seconds, "gsf");
    fs::remove_all(work / "docs");

    // 3. One huge stream through `zymwin cfb cat`.
    std::printf("\nmaking a compound file with one %zu MB stream...\n", options.catMb);
    const fs::path payload = work / "payload";
    {
        std::ofstream out(payload, std::ios::binary);
        std::vector<std::uint64_t> block(1 << 17);
        for (std::size_t mb = 0; mb < options.catMb; ++mb) {
            for (std::size_t i = 0; i < block.size() / 8; ++i)
                block[i] = random();
            out.write(reinterpret_cast<const char*>(block.data()), 1 << 20);
        }
    }
    const fs::path huge = work / "huge.cfb";
    Spawn({"gsf", "createole", huge.string(), payload.string()});
    fs::remove(payload);
    Spawn({"cat", huge.string()});
    const auto catHuge = Best([&] {
        return Spawn({Zymwin().string(), "cfb", "cat", huge.string(), "payload"});
    });
    const auto catFloor = Best([&] { return Spawn({"cat", huge.string()}); });
    std::printf("  zymwin cfb cat: %.3f s (cat %.3f s, %.2fx), peak memory %.1f MB\n",
                catHuge.seconds, catFloor.seconds, catHuge.seconds / catFloor.seconds,
                catHuge.peakKiB / 1024.0);
    fs::remove_all(work);
    return 0;
}
