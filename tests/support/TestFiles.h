#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zymtest {

// A fresh directory for one test, removed with all it holds afterwards.
class ScratchDirectory {
public:
    explicit ScratchDirectory(
        const std::filesystem::path& parent = std::filesystem::temp_directory_path());
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

// Sets an environment variable (or removes it, without a value) for a scope
// and puts back what it was.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const char* name,
                               const std::optional<std::string>& value = std::nullopt);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_Name;
    std::optional<std::string> m_Previous;
};

std::string ReadFile(const std::filesystem::path& path);
// Everything left to read from an open stream; nothing from a null one.
std::string ReadRest(std::FILE* stream);
// The lines of a text, without their line ends ("\n" or "\r\n").
std::vector<std::string> SplitLines(const std::string& text);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

struct ProcessResult {
    int status = -1; // the exit code, or -1 if it did not exit normally
    std::string out;
    std::string err;
    int signal = 0; // the signal that ended it, if one did (never on Windows)
};

// Runs a program to completion with `input` on its standard input; a bare
// program name is looked up in PATH.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "");

// What a command of the system's shell (sh, or cmd on Windows) writes to
// its standard output and error.
std::string CommandOutput(const std::string& command);

} // namespace zymtest
