#pragma once

#include "Command.h"

namespace zymwin {

// The program's arguments, its name first, in UTF-8 whatever the system
// hands to main.
Args ProgramArguments(int argc, char** argv);

} // namespace zymwin
