#pragma once

#include <ZymThread/Thread.h>

#include <cstdio>
#include <mutex>

namespace zymwin {

// A pipe daemon's client function: prints who connected, then answers
// every message with the same bytes until the client goes away.
class PipeEcho : public ZymThread::Function {
public:
    explicit PipeEcho(std::FILE* log) : m_Log(log) {}
    void* Call(void* pipe) override;

private:
    std::FILE* m_Log;
    std::mutex m_LogLock;
};

} // namespace zymwin
