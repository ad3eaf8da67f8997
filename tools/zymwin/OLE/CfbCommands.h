#pragma once

#include <string>

namespace zymwin::cfb {

// The subcommands of `zymwin cfb`; each returns the exit status and raises
// UsageError for a failure that ends the command.
int List(const std::string& file, bool json);
int Cat(const std::string& file, const std::string& streamPath);
int Properties(const std::string& file, bool json);

} // namespace zymwin::cfb
