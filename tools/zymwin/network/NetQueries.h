#pragma once

#include "Command.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zymwin {

// One query of `zymwin net`: its name, its arguments as the usage shows
// them, the range of argument counts it takes, and what prints its results.
struct NetQuery {
    std::string name;
    std::string arguments;
    std::size_t fewest;
    std::size_t most;
    void (*run)(const Args& arguments, std::FILE* out);
};

const std::vector<NetQuery>& NetQueries();

} // namespace zymwin
