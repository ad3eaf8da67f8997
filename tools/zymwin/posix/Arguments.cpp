#include "Arguments.h"

namespace zymwin {

// The arguments come as the bytes the caller gave, UTF-8 by convention.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace zymwin
