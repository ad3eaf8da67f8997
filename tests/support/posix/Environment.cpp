#include "Environment.h"

#include <cstdlib>

extern char** environ;

namespace zymtest {

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry)
        variables.emplace_back(*entry);
    return variables;
}

void SetVariable(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

} // namespace zymtest
