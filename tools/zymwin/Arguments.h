#pragma once

#include <string>
#include <vector>

namespace zymwin {

// The program's arguments, the program name first, in UTF-8 as the
// commands read them.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace zymwin
