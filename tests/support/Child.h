#pragma once

#include "TestFiles.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zymtest {

// How long a test waits for a line that should come before it fails loudly
// instead of hanging.
inline constexpr std::chrono::seconds LINE_PATIENCE{30};

// A process the test talks to while it runs: one of its output streams is
// read line by line as the lines come, the other is kept for the end.
// Standard input is empty. A child still running at destruction is killed.
class Child {
public:
    struct Options {
        // Changes to this process's environment: "NAME=value" sets, "NAME"
        // alone removes.
        std::vector<std::string> environment;
        // The stream read line by line: 1 (standard output) or 2 (error).
        int lineStream = 1;
    };
    explicit Child(const std::vector<std::string>& argv);
    Child(const std::vector<std::string>& argv, const Options& options);
    // Runs `body` in a forked copy of this process; the child exits with
    // what `body` returns, or 1 if it raised.
    static Child Fork(const std::function<int()>& body, int lineStream = 2);
    Child(Child&& other) noexcept;
    ~Child();

    pid_t Pid() const { return m_Pid; }
    void Signal(int signal) const;
    // The next line without its newline; "<eof>" once the stream has ended,
    // "<timeout>" (and a test failure) after LINE_PATIENCE without one.
    std::string ReadLine();
    // Lines up to and including the first that contains `text`.
    std::vector<std::string> ReadLinesUntil(const std::string& text);
    // Every line left until the stream ends.
    std::vector<std::string> RemainingLines();
    // Waits for the end: the exit status (-1 if it did not exit normally),
    // the unread rest of the line stream and all of the other stream.
    ProcessResult Wait();
    ProcessResult Stop(int signal);

private:
    explicit Child(int lineStream);
    int m_LineStream;
    pid_t m_Pid = -1;
    int m_Lines = -1;
    int m_LinesWriteEnd = -1;
    // The other stream goes to a file without a name, so that it never
    // fills up while the test reads lines.
    int m_Other = -1;
    std::string m_Pending;
};

} // namespace zymtest
