#include "Environment.h"

#include "Win32Process.h"

#include <cstdlib>

namespace zymtest {

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> variables;
    wchar_t* const block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; entry && *entry; entry += wcslen(entry) + 1)
        variables.push_back(Narrow(entry));
    FreeEnvironmentStringsW(block);
    return variables;
}

void SetVariable(const char* name, const std::optional<std::string>& value) {
    // Both copies of the environment: the system's, which new processes
    // get, and the C runtime's, which getenv reads.
    SetEnvironmentVariableW(Widen(name).c_str(), value ? Widen(*value).c_str() : nullptr);
    _putenv_s(name, value ? value->c_str() : "");
}

} // namespace zymtest
