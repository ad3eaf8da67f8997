#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zymtest {

// This process's environment as "NAME=value" entries.
std::vector<std::string> CurrentEnvironment();

// `variables` with `changes` made: "NAME=value" sets, "NAME" alone removes.
// Windows compares names without regard to case.
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& variables,
                                            const std::vector<std::string>& changes,
                                            bool namesIgnoreCase);

// Sets a variable of this process's environment, or removes it without a value.
void SetVariable(const char* name, const std::optional<std::string>& value);

} // namespace zymtest
