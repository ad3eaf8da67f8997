#include "Environment.h"

#include <algorithm>
#include <cctype>

namespace zymtest {

namespace {

std::string NameOf(const std::string& variable, bool ignoreCase) {
    // Windows keeps the current directory of each drive in variables whose
    // names start with '=' ("=C:=C:\\"): the name goes to the second '='.
    std::string name = variable.substr(0, variable.find('=', 1));
    if (ignoreCase) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    }
    return name;
}

} // namespace

std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& variables,
                                            const std::vector<std::string>& changes,
                                            bool namesIgnoreCase) {
    std::vector<std::string> changed;
    for (const std::string& variable : variables) {
        const bool replaced = std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
            return NameOf(change, namesIgnoreCase) == NameOf(variable, namesIgnoreCase);
        });
        if (!replaced)
            changed.push_back(variable);
    }
    for (const std::string& change : changes) {
        if (change.find('=') != std::string::npos)
            changed.push_back(change);
    }
    return changed;
}

} // namespace zymtest
