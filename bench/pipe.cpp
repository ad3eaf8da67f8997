// Named pipes next to the floor they are built on: the same exchanges over a
// raw AF_UNIX socketpair with plain send/recv. Round trips of a 64-byte
// request and reply, 1 MB messages one way (with a 1-byte acknowledgement),
// and 256 simultaneous clients of one daemon exchanging 1000 messages each.
#include <ZymWindows/NamedPipeClient.h>
#include <ZymWindows/NamedPipeDaemon.h>
#include <ZymWindows/NamedPipeServer.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned int SMALL = 64;
constexpr unsigned int LARGE = 1 << 20;
constexpr int CLIENTS = 256;
constexpr int MESSAGES_PER_CLIENT = 1000;

// A fresh pipe directory for the whole run.
struct PipeDirectory {
    PipeDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-pipe-XXXXXX");
        path = mkdtemp(pattern.data());
        setenv("ZYM_PIPE_DIR", path.c_str(), 1);
    }
    ~PipeDirectory() { std::filesystem::remove_all(path); }
    std::string path;
};

const PipeDirectory g_Directory;

// The daemon's client function: reads each message whole and answers with
// its first `replySize` bytes (all of it when 0).
class Echo : public ZymThread::Function {
public:
    explicit Echo(unsigned int replySize) : m_ReplySize(replySize) {}
    void* Call(void* argument) override {
        auto& pipe = *static_cast<ZymWindows::ServerNamedPipe*>(argument);
        std::vector<char> message(LARGE);
        for (;;) {
            pipe.ReadMessage();
            const unsigned int size = pipe.Read(message.data(), LARGE);
            pipe.EndMessage();
            pipe.Put(message.data(), m_ReplySize ? std::min(m_ReplySize, size) : size);
            pipe.EndMessage();
        }
    }

private:
    unsigned int m_ReplySize;
};

// A pipe name of its own for each run: a daemon of an earlier run keeps its
// name served while its client threads finish, and a client could meet it.
std::string FreshName(const std::string& base) {
    static std::atomic<int> runs{0};
    return base + "-" + std::to_string(runs++);
}

void WaitForPipe(const std::string& name) {
    while (!std::filesystem::exists(g_Directory.path + "/" + name))
        std::this_thread::yield();
}

// One client's exchange: sends `request` and reads the whole reply.
unsigned int Exchange(ZymWindows::ClientNamedPipe& client, const std::vector<char>& request,
                      std::vector<char>& reply) {
    client.Put(request.data(), static_cast<unsigned int>(request.size()));
    client.EndMessage();
    client.ReadMessage();
    const unsigned int got = client.Read(reply.data(), static_cast<unsigned int>(reply.size()));
    client.EndMessage();
    return got;
}

void PipeExchange(benchmark::State& state, const std::string& base, unsigned int requestSize,
                  unsigned int replySize) {
    const std::string name = FreshName(base);
    Zym::SmartPtr<ZymWindows::NamedPipeDaemon> daemon =
        new ZymWindows::NamedPipeDaemon(name, new Echo(replySize), nullptr);
    WaitForPipe(name);
    ZymWindows::ClientNamedPipe client(name, ".", nullptr);
    client.Initialize(false, u"");
    std::vector<char> request(requestSize, 'r'), reply(requestSize);
    for (auto _ : state)
        if (Exchange(client, request, reply) != replySize)
            state.SkipWithError("wrong reply");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * requestSize);
}

// The floor: an echo thread on a raw socketpair, framing nothing.
void SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct RawEcho {
    RawEcho(unsigned int requestSize, unsigned int replySize) {
        socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        partner = std::thread([this, requestSize, replySize] {
            std::vector<char> message(requestSize);
            while (ReceiveAll(fds[1], message.data(), requestSize))
                SendAll(fds[1], message.data(), replySize);
        });
    }
    ~RawEcho() {
        shutdown(fds[0], SHUT_RDWR);
        partner.join();
        close(fds[0]);
        close(fds[1]);
    }
    int fds[2];
    std::thread partner;
};

void RawExchange(benchmark::State& state, unsigned int requestSize, unsigned int replySize) {
    RawEcho echo(requestSize, replySize);
    std::vector<char> request(requestSize, 'r'), reply(replySize);
    for (auto _ : state) {
        SendAll(echo.fds[0], request.data(), requestSize);
        if (!ReceiveAll(echo.fds[0], reply.data(), replySize))
            state.SkipWithError("no reply");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * requestSize);
}

void RoundTrip64_Pipe(benchmark::State& state) {
    PipeExchange(state, "roundtrip", SMALL, SMALL);
}
void RoundTrip64_Socketpair(benchmark::State& state) {
    RawExchange(state, SMALL, SMALL);
}
void Throughput1MB_Pipe(benchmark::State& state) {
    PipeExchange(state, "throughput", LARGE, 1);
}
void Throughput1MB_Socketpair(benchmark::State& state) {
    RawExchange(state, LARGE, 1);
}
BENCHMARK(RoundTrip64_Pipe)->UseRealTime();
BENCHMARK(RoundTrip64_Socketpair)->UseRealTime();
BENCHMARK(Throughput1MB_Pipe)->UseRealTime();
BENCHMARK(Throughput1MB_Socketpair)->UseRealTime();

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;) {
        long value = 0;
        if (key == "VmRSS:" && status >> value)
            return value;
    }
    return 0;
}

// Each client sends messages that carry its number and the message's, and
// checks that the reply holds the same.
std::vector<char> Tagged(int client, int message) {
    std::vector<char> bytes(SMALL, ' ');
    const std::string tag = std::to_string(client) + ":" + std::to_string(message);
    std::memcpy(bytes.data(), tag.data(), tag.size());
    return bytes;
}

void ManyClients_Pipe(benchmark::State& state) {
    const std::string name = FreshName("many");
    Zym::SmartPtr<ZymWindows::NamedPipeDaemon> daemon =
        new ZymWindows::NamedPipeDaemon(name, new Echo(0), nullptr);
    WaitForPipe(name);
    std::atomic<long> answered{0};
    for (auto _ : state) {
        std::vector<std::thread> clients;
        for (int c = 0; c < CLIENTS; ++c)
            clients.emplace_back([&answered, &name, c] {
                ZymWindows::ClientNamedPipe client(name, ".", nullptr);
                client.Initialize(false, u"");
                std::vector<char> reply(SMALL);
                for (int m = 0; m < MESSAGES_PER_CLIENT; ++m) {
                    const std::vector<char> request = Tagged(c, m);
                    if (Exchange(client, request, reply) == SMALL && reply == request)
                        ++answered;
                }
            });
        for (auto& client : clients)
            client.join();
    }
    const long expected = static_cast<long>(state.iterations()) * CLIENTS * MESSAGES_PER_CLIENT;
    if (answered != expected)
        state.SkipWithError("messages lost or garbled");
    state.counters["answered"] = static_cast<double>(answered);
    state.counters["rss_MiB"] = static_cast<double>(ResidentKiB()) / 1024;
}

void ManyClients_Socketpair(benchmark::State& state) {
    std::atomic<long> answered{0};
    for (auto _ : state) {
        std::vector<std::thread> clients;
        for (int c = 0; c < CLIENTS; ++c)
            clients.emplace_back([&answered, c] {
                RawEcho echo(SMALL, SMALL);
                std::vector<char> reply(SMALL);
                for (int m = 0; m < MESSAGES_PER_CLIENT; ++m) {
                    const std::vector<char> request = Tagged(c, m);
                    SendAll(echo.fds[0], request.data(), SMALL);
                    if (ReceiveAll(echo.fds[0], reply.data(), SMALL) && reply == request)
                        ++answered;
                }
            });
        for (auto& client : clients)
            client.join();
    }
    state.counters["answered"] = static_cast<double>(answered);
    state.counters["rss_MiB"] = static_cast<double>(ResidentKiB()) / 1024;
}
BENCHMARK(ManyClients_Pipe)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ManyClients_Socketpair)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
