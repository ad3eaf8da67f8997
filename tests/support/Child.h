#pragma once

#include "TestFiles.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zymtest {

class ChildProcess;

// How long a test waits for a line that should come before it fails loudly
// instead of hanging.
inline constexpr std::chrono::seconds LINE_PATIENCE{30};

// The exit status of a child that Kill ended on Windows: the shell's status
// for a process ended by SIGKILL.
inline constexpr int KILLED_STATUS = 137;

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
    // Starts the program at the path argv[0] (no search of PATH).
    explicit Child(const std::vector<std::string>& argv);
    Child(const std::vector<std::string>& argv, const Options& options);
#ifndef _WIN32
    // Runs `body` in a forked copy of this process; the child exits with
    // what `body` returns, or 1 if it raised. Windows has no fork.
    static Child Fork(const std::function<int()>& body, int lineStream = 2);
    // Signals are POSIX's way to ask a process to do something; the only
    // portable way to end a child early is Kill.
    void Signal(int signal) const;
    ProcessResult Stop(int signal);
#endif
    Child(Child&& other) noexcept;
    ~Child();

    // The next line without its line end ("\n" or "\r\n"); "<eof>" once the stream has ended,
    // "<timeout>" (and a test failure) after LINE_PATIENCE without one.
    std::string ReadLine();
    // Lines up to and including the first that contains `text`.
    std::vector<std::string> ReadLinesUntil(const std::string& text);
    // Every line left until the stream ends.
    std::vector<std::string> RemainingLines();
    // Waits for the end: the exit status (-1 if it did not exit normally),
    // the unread rest of the line stream and all of the other stream.
    ProcessResult Wait();
    // Ends the child at once, where nothing in it can intercept it, and
    // waits: on POSIX SIGKILL (status -1), on Windows TerminateProcess
    // (status KILLED_STATUS).
    ProcessResult Kill();

private:
    explicit Child(std::unique_ptr<ChildProcess> process, int lineStream);
    std::unique_ptr<ChildProcess> m_Process;
    int m_LineStream;
    std::string m_Pending;
};

} // namespace zymtest
