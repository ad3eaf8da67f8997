#pragma once

#include <Zym/BaseLog.h>

#include <cstdio>

namespace zymwin {

// Writes each log entry's text to stderr (or to `out`) as one line, once
// the entry is complete (under systemd, the journal keeps stderr's lines).
class StderrLog : public Zym::BaseLog {
public:
    explicit StderrLog(std::FILE* out = stderr) : Zym::BaseLog(false), m_Out(out) {}

protected:
    void vOutputLine(const std::u16string& line,
                     const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;

private:
    std::FILE* m_Out;
};

} // namespace zymwin
