#include "ChildProcess.h"

#include "Child.h"

#include "Environment.h"
#include "Win32Process.h"

#include <atomic>
#include <stdexcept>

namespace zymtest {

namespace {

// The line stream is a named pipe, the one kind on which a read can wait
// with a time limit (overlapped); the child writes to it as to any pipe.
std::pair<OwnedHandle, OwnedHandle> LinePipe() {
    static std::atomic<unsigned> made{0};
    const std::wstring name = L"\\\\.\\pipe\\zymtest-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(made++);
    OwnedHandle reading(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, nullptr));
    OwnedHandle writing(reading ? CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                : INVALID_HANDLE_VALUE);
    if (!writing)
        throw std::runtime_error("cannot make the child's line stream");
    return {std::move(reading), std::move(writing)};
}

// The other stream goes to a file without a lasting name, so that it never
// fills up while the test reads lines; it goes away with its last handle.
OwnedHandle OtherStreamFile() {
    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"zym", 0, path) == 0)
        throw std::runtime_error("cannot make the child's other stream");
    OwnedHandle file(CreateFileW(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        throw std::runtime_error("cannot make the child's other stream");
    return file;
}

} // namespace

struct ChildProcess::State {
    OwnedHandle process; // until it has been waited for
    OwnedHandle lines;
    OwnedHandle readDone = OwnedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OwnedHandle other;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment, int lineStream)
    : m_State(std::make_unique<State>()) {
    auto [lines, linesWriteEnd] = LinePipe();
    m_State->lines = std::move(lines);
    m_State->other = OtherStreamFile();
    const OwnedHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!input || !m_State->readDone)
        throw std::runtime_error("cannot make the child's streams");
    const HANDLE output = lineStream == 1 ? linesWriteEnd.Get() : m_State->other.Get();
    const HANDLE error = lineStream == 1 ? m_State->other.Get() : linesWriteEnd.Get();
    m_State->process =
        StartProcess(argv, false, ChangedEnvironment(CurrentEnvironment(), environment, true),
                     input.Get(), output, error);
}

ChildProcess::~ChildProcess() {
    if (m_State->process) {
        TerminateProcess(m_State->process.Get(), KILLED_STATUS);
        WaitForSingleObject(m_State->process.Get(), INFINITE);
    }
}

void ChildProcess::Kill() {
    if (m_State->process)
        TerminateProcess(m_State->process.Get(), KILLED_STATUS);
}

ChildProcess::Read ChildProcess::ReadSome(std::string& into, std::chrono::milliseconds patience) {
    char piece[4096];
    OVERLAPPED request{};
    request.hEvent = m_State->readDone.Get();
    DWORD got = 0;
    if (!ReadFile(m_State->lines.Get(), piece, sizeof piece, nullptr, &request)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return Read::End; // ERROR_BROKEN_PIPE: every writer has gone
        if (WaitForSingleObject(request.hEvent, static_cast<DWORD>(patience.count())) !=
            WAIT_OBJECT_0)
            CancelIoEx(m_State->lines.Get(), &request);
    }
    // After a cancel the read may still have completed meanwhile.
    if (!GetOverlappedResult(m_State->lines.Get(), &request, &got, TRUE))
        return GetLastError() == ERROR_OPERATION_ABORTED ? Read::Timeout : Read::End;
    into.append(piece, got);
    return Read::Some;
}

ProcessResult ChildProcess::Wait(std::string& lines, std::string& other) {
    ProcessResult result;
    while (ReadSome(lines, std::chrono::milliseconds(INFINITE)) != Read::End) {
    }
    if (m_State->process) {
        WaitForSingleObject(m_State->process.Get(), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(m_State->process.Get(), &code);
        result.status = static_cast<int>(code);
        m_State->process = OwnedHandle();
    }
    char piece[4096];
    for (DWORD got = 0;; other.append(piece, got)) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(other.size());
        if (!ReadFile(m_State->other.Get(), piece, sizeof piece, &got, &at) || got == 0)
            break;
    }
    return result;
}

} // namespace zymtest
