#include "Child.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace zymtest {

Child::Child(std::unique_ptr<ChildProcess> process, int lineStream)
    : m_Process(std::move(process)), m_LineStream(lineStream) {}

Child::Child(const std::vector<std::string>& argv) : Child(argv, Options()) {}

Child::Child(const std::vector<std::string>& argv, const Options& options)
    : Child(std::make_unique<ChildProcess>(argv, options.environment, options.lineStream),
            options.lineStream) {}

#ifndef _WIN32
Child Child::Fork(const std::function<int()>& body, int lineStream) {
    return Child(std::make_unique<ChildProcess>(body, lineStream), lineStream);
}

void Child::Signal(int signal) const {
    m_Process->Signal(signal);
}

ProcessResult Child::Stop(int signal) {
    Signal(signal);
    return Wait();
}
#endif

Child::Child(Child&& other) noexcept = default;

Child::~Child() = default;

std::string Child::ReadLine() {
    const auto deadline = std::chrono::steady_clock::now() + LINE_PATIENCE;
    for (;;) {
        const std::size_t end = m_Pending.find('\n');
        if (end != std::string::npos) {
            // Windows programs end their text lines with "\r\n".
            std::string line =
                m_Pending.substr(0, end > 0 && m_Pending[end - 1] == '\r' ? end - 1 : end);
            m_Pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        switch (m_Process->ReadSome(m_Pending, std::max(left, std::chrono::milliseconds(0)))) {
        case ChildProcess::Read::Some:
            break;
        case ChildProcess::Read::End:
            // A last line without its newline still counts.
            return m_Pending.empty() ? "<eof>" : std::exchange(m_Pending, "");
        case ChildProcess::Read::Timeout:
            ADD_FAILURE() << "no line from the child within " << LINE_PATIENCE.count() << " s";
            return "<timeout>";
        }
    }
}

std::vector<std::string> Child::ReadLinesUntil(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string line; (line = ReadLine()) != "<eof>" && line != "<timeout>";) {
        lines.push_back(line);
        if (line.find(text) != std::string::npos)
            return lines;
    }
    ADD_FAILURE() << "the child never wrote \"" << text << "\"";
    return lines;
}

std::vector<std::string> Child::RemainingLines() {
    std::vector<std::string> lines;
    for (std::string line; (line = ReadLine()) != "<eof>" && line != "<timeout>";)
        lines.push_back(line);
    return lines;
}

ProcessResult Child::Wait() {
    std::string lines = std::exchange(m_Pending, ""), other;
    ProcessResult result = m_Process->Wait(lines, other);
    result.out = m_LineStream == 1 ? lines : other;
    result.err = m_LineStream == 1 ? other : lines;
    return result;
}

ProcessResult Child::Kill() {
    m_Process->Kill();
    return Wait();
}

} // namespace zymtest
