// The test pipes on the system's own named pipes.
#include "../PipeTestSupport.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace pipetest {

namespace {

std::wstring PathOf(const std::string& name) {
    return L"\\\\.\\pipe\\" + std::wstring(name.begin(), name.end());
}

} // namespace

struct TestPipe::Place {};

TestPipe::TestPipe(const std::string& base) : m_Place(new Place) {
    static std::atomic<unsigned int> made{0};
    m_Name = base + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++made);
}

TestPipe::~TestPipe() = default;

void TestPipe::WaitUntilServed() const {
    // The system gives no notice of a new pipe name, and Wine's wait for a
    // free instance ends only at its time-out: both are asked in slices.
    while (!::WaitNamedPipeW(PathOf(m_Name).c_str(), 100)) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            ::Sleep(1);
    }
}

long CurrentThreadId() {
    return static_cast<long>(::GetCurrentThreadId());
}

struct RawPeer::Connection {
    HANDLE pipe = INVALID_HANDLE_VALUE;
};

RawPeer::RawPeer(const TestPipe& pipe) : m_Connection(new Connection) {
    // A byte-mode client end: reads take any part of the server's messages.
    const std::wstring path = PathOf(pipe.Name());
    for (;;) {
        m_Connection->pipe = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        if (m_Connection->pipe != INVALID_HANDLE_VALUE)
            return;
        const DWORD error = ::GetLastError();
        if (error != ERROR_PIPE_BUSY)
            throw std::runtime_error("raw connect failed: " + std::to_string(error));
        // In slices: Wine's wait ends only at its time-out, not when an
        // instance becomes free.
        ::WaitNamedPipeW(path.c_str(), 100);
    }
}

RawPeer::~RawPeer() {
    Close();
}

void RawPeer::Send(const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(m_Connection->pipe, bytes.data() + done,
                         static_cast<DWORD>(bytes.size() - done), &n, nullptr) ||
            n == 0)
            throw std::runtime_error("raw send failed");
        done += n;
    }
}

std::vector<unsigned char> RawPeer::Receive(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    std::size_t done = 0;
    while (done < size) {
        DWORD n = 0;
        if (!::ReadFile(m_Connection->pipe, bytes.data() + done, static_cast<DWORD>(size - done),
                        &n, nullptr) ||
            n == 0)
            throw std::runtime_error("raw receive ended early");
        done += n;
    }
    return bytes;
}

void RawPeer::Close() {
    if (m_Connection->pipe != INVALID_HANDLE_VALUE)
        ::CloseHandle(std::exchange(m_Connection->pipe, INVALID_HANDLE_VALUE));
}

} // namespace pipetest
