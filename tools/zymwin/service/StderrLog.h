#pragma once

#include <Zym/BaseLog.h>

namespace zymwin {

// Writes each log entry's text to stderr as one line, once the entry is
// complete (under a service manager, the journal keeps these lines).
class StderrLog : public Zym::BaseLog {
public:
    StderrLog() : Zym::BaseLog(false) {}

protected:
    void vOutputLine(const std::u16string& line,
                     const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override;
};

} // namespace zymwin
