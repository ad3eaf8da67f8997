#pragma once

#include "../PipeTestSupport.h"

#include <sys/types.h>
#include <sys/un.h>

#include <string>

namespace pipetest {

struct TestPipe::Place {
    zymtest::ScratchDirectory directory;
};

// The socket file of a test's pipe.
std::string SocketOf(const TestPipe& pipe);

// The socket file of another pipe name in the test's pipe directory.
std::string SocketOf(const TestPipe& pipe, const std::string& name);

// The address of a socket file.
sockaddr_un AddressOf(const std::string& socketPath);

// Blocks until the socket of pipe `name` exists in the test's directory
// (and is not the file `replacing`, when given).
void WaitForPipeSocket(const TestPipe& pipe, const std::string& name, ino_t replacing = 0);

// Blocks until thread `tid` of this process sleeps in poll.
void WaitUntilBlockedInPoll(long tid);

} // namespace pipetest
