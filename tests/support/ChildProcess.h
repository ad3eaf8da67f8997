#pragma once

#include "TestFiles.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zymtest {

// The operating system's side of Child: a started process and the parent's
// ends of its output streams. The constructors start it as Child's do.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 int lineStream);
#ifndef _WIN32
    ChildProcess(const std::function<int()>& body, int lineStream);
    void Signal(int signal) const;
#endif
    // Kills a process still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    enum class Read { Some, End, Timeout };
    // Appends to `into` what the line stream holds once some is there, or
    // says that it has ended or that nothing came within `patience`.
    Read ReadSome(std::string& into, std::chrono::milliseconds patience);
    // Ends the process at once; nothing in it can intercept this.
    void Kill();
    // Waits for the process to end: its status and signal; appends to
    // `lines` what ReadSome has not taken of the line stream, to `other` all
    // of the other stream.
    ProcessResult Wait(std::string& lines, std::string& other);

private:
    struct State;
    std::unique_ptr<State> m_State;
};

} // namespace zymtest
