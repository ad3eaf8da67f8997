#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ServiceTest {

// How long a test waits for something that should come at once before it
// fails loudly instead of hanging.
constexpr std::chrono::seconds PATIENCE{30};

// The service manager's end of the notification protocol: a datagram
// socket that a service reports to through $NOTIFY_SOCKET.
class NotifySocket {
public:
    // `abstract`: a name in the abstract namespace instead of a file.
    explicit NotifySocket(bool abstract);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // The value for NOTIFY_SOCKET.
    const std::string& Address() const { return m_Address; }
    // The next datagram; empty after PATIENCE without one.
    std::string Receive();
    // Datagrams up to and including the first that contains `text`.
    std::vector<std::string> ReceiveUntil(const std::string& text);

private:
    int m_Fd = -1;
    std::string m_Address;
    std::string m_Path;
};

// A child process whose stderr the test reads line by line.
class Child {
public:
    // Starts `argv` with `environment` added to this process's own (an
    // entry "NAME" without "=" removes NAME).
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment);
    // Runs `body` in a forked copy of this process with stderr redirected;
    // the child exits with what `body` returns.
    static Child Fork(const std::function<int()>& body);
    Child(Child&& other) noexcept;
    ~Child();

    void Signal(int signal) const;
    // The next line of its stderr (without the newline); false at the end
    // or after PATIENCE.
    bool ReadLine(std::string& line);
    // Lines until `text` is seen in one (that line included).
    std::vector<std::string> ReadLinesUntil(const std::string& text);
    // Every remaining line, once it has closed stderr.
    std::vector<std::string> RemainingLines();
    // Its exit status, or -1 when it did not exit normally.
    int Wait();

private:
    Child() = default;
    pid_t m_Pid = -1;
    int m_Err = -1;
    std::string m_Buffer;
};

} // namespace ServiceTest
