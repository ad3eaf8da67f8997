#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <string>

// What a shell command writes to its standard output.
inline std::string CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    std::array<char, 512> chunk{};
    while (pipe && std::fgets(chunk.data(), chunk.size(), pipe.get()))
        output += chunk.data();
    return output;
}
