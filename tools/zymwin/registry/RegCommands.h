#pragma once

#include "Command.h"

// The operations of `zymwin reg`; each gets the arguments after its name.
namespace zymwin::reg {

int Query(const Args& args);
int Add(const Args& args);
int Delete(const Args& args);
int Export(const Args& args);
int Import(const Args& args);

} // namespace zymwin::reg
