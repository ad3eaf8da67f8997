#pragma once

#include "Command.h"

#include <ZymWindows/RegFile.h>

#include <map>
#include <string>
#include <vector>

namespace zymwin::reg {

// The arguments of a reg subcommand: positional ones in order, and
// switches (/v NAME, /f ...) by lower-case name; '-' works like '/'.
struct Options {
    std::vector<std::string> positional;
    std::map<std::string, std::string> switches;

    bool Has(const std::string& name) const { return switches.count(name) != 0; }
    const std::string& Value(const std::string& name) const { return switches.at(name); }
};

// `withValue` names the switches that take a value; any other switch
// outside `flags` is a usage error.
Options ParseOptions(const Args& args, const std::vector<std::string>& withValue,
                     const std::vector<std::string>& flags);

// A KEY argument: ROOT\sub\path with a long or short root name.
ZymWindows::RegFile::KeyPath ParseKey(const std::string& text);

// The value name chosen by /v NAME or /ve; false when neither is given.
bool ValueName(const Options& options, std::u16string& name);

std::string TypeName(unsigned long type);
// REG_SZ, REG_DWORD ...; raises UsageError for an unknown name.
unsigned long ParseTypeName(const std::string& name);

// Data as the query command shows it.
std::string ShowData(unsigned long type, const std::vector<unsigned char>& data);

// Asks a Yes/No question on standard output; true for a yes answer.
bool Confirm(const std::string& question);

// The key at `path` opened for reading; null when it does not exist. Any
// other failure (a corrupted store, access denied) raises.
ZymWindows::RegKeyW::Ptr OpenIfPresent(const ZymWindows::RegFile::KeyPath& path);

// The wording of a missing key or value.
inline constexpr const char* NOT_FOUND =
    "The system was unable to find the specified registry key or value.";
inline constexpr const char* DONE = "The operation completed successfully.";
inline constexpr const char* CANCELLED = "The operation was cancelled by the user.";

std::string Utf8(const std::u16string& text);
std::u16string Wide(const std::string& utf8);

} // namespace zymwin::reg
