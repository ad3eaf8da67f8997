#pragma once

#include <ZymWindows/Export.h>

#include <Zym/DateTime.h>

#include <optional>
#include <string>

namespace ZymWindows::Dump {

// The current time, when the clock is inside the date type's range.
std::optional<Zym::DateTime> Now();

// The file a dump writes: `path` itself, unless it is empty or ends in "/"
// or "\", in which case it is a directory and the file in it is named after
// `executable` (its last component, extension kept), "_", `now` as local
// time "%y%m%d_%H%M%S" (left out when unknown) and `extension`.
ZYMWINDOWS_EXPORT std::string ResolveDumpPath(const std::string& path,
                                              const std::string& executable,
                                              const std::optional<Zym::DateTime>& now,
                                              const char* extension);

} // namespace ZymWindows::Dump
