#include "ProgramArguments.h"

namespace zymwin {

Args ProgramArguments(int argc, char** argv) {
    return Args(argv, argv + argc);
}

} // namespace zymwin
