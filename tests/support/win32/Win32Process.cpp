#include "Win32Process.h"

#include <mutex>
#include <stdexcept>

namespace zymtest {

namespace {

// One argument as the C runtime's command line parser reads it back:
// quotes around it when it has blanks or quotes, a backslash before each
// quote, and backslashes doubled where a quote follows them.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring CommandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& argument : argv)
        line += (line.empty() ? L"" : L" ") + Quoted(Widen(argument));
    return line;
}

// "NAME=value" entries one after the other, each ended by a NUL, and a NUL
// after the last.
std::wstring EnvironmentBlock(const std::vector<std::string>& variables) {
    std::wstring block;
    for (const std::string& variable : variables)
        block += Widen(variable) + L'\0';
    return block + L'\0';
}

OwnedHandle Open(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    OwnedHandle file(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot open " + path.string());
    return file;
}

} // namespace

std::wstring Widen(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(const std::wstring& utf16) {
    const int size = static_cast<int>(utf16.size());
    std::string narrow(
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(),
                        static_cast<int>(narrow.size()), nullptr, nullptr);
    return narrow;
}

OwnedHandle OpenForReading(const std::filesystem::path& path) {
    return Open(path, GENERIC_READ, OPEN_EXISTING);
}

OwnedHandle OpenForWriting(const std::filesystem::path& path) {
    return Open(path, GENERIC_WRITE, CREATE_ALWAYS);
}

OwnedHandle StartProcess(const std::vector<std::string>& argv, bool searchPath,
                         const std::vector<std::string>& environment, HANDLE input, HANDLE output,
                         HANDLE error) {
    std::wstring commandLine = CommandLine(argv), block = EnvironmentBlock(environment);
    const std::wstring program = Widen(argv.at(0));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION started{};
    BOOL created = FALSE;
    DWORD failure = 0;
    {
        // The streams are inheritable only while this process starts, so
        // that a process another thread starts meanwhile cannot hold them
        // open (a pipe would then not end with its child).
        static std::mutex starting;
        const std::lock_guard lock(starting);
        for (const HANDLE stream : {input, output, error})
            SetHandleInformation(stream, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        created = CreateProcessW(searchPath ? nullptr : program.c_str(), commandLine.data(),
                                 nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                 environment.empty() ? nullptr : block.data(), nullptr, &startup,
                                 &started);
        failure = GetLastError();
        for (const HANDLE stream : {input, output, error})
            SetHandleInformation(stream, HANDLE_FLAG_INHERIT, 0);
    }
    if (!created) {
        throw std::runtime_error("cannot start " + argv[0] + " (error " + std::to_string(failure) +
                                 ")");
    }
    CloseHandle(started.hThread);
    return OwnedHandle(started.hProcess);
}

} // namespace zymtest
