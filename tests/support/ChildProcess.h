#pragma once

#include "TestFiles.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zymtest {

// The operating system's side of Child: a started process and the parent's
// ends of its output streams. Standard input is empty.
class ChildProcess {
public:
    // Starts the program at the path argv[0]. `environment` lists changes to
    // this process's environment: "NAME=value" sets, "NAME" alone removes.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 int lineStream);
#ifndef _WIN32
    // Runs `body` in a forked copy of this process, which exits with what
    // `body` returns, or 1 if it raised.
    ChildProcess(const std::function<int()>& body, int lineStream);
    void Signal(int signal) const;
#endif
    // Kills a process still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Id() const;
    enum class Read { Some, End, Timeout };
    // Appends to `into` what the line stream holds once some is there, or
    // says that it has ended or that nothing came within `patience`.
    Read ReadSome(std::string& into, std::chrono::milliseconds patience);
    // Ends the process at once; nothing in it can intercept this.
    void Kill();
    // Waits for the process to end: its status, what ReadSome has not taken
    // of the line stream and all of the other stream.
    ProcessResult Wait();

private:
    struct State;
    std::unique_ptr<State> m_State;
};

} // namespace zymtest
