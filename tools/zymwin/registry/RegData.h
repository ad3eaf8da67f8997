#pragma once

#include <string>
#include <vector>

namespace zymwin::reg {

// The bytes that `reg add /t TYPE /d DATA` stores; raises UsageError when
// DATA does not fit TYPE. REG_MULTI_SZ strings are split at `separator`.
std::vector<unsigned char> DataFor(unsigned long type, const std::string& data,
                                   const std::string& separator);

} // namespace zymwin::reg
