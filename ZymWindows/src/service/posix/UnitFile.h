#pragma once

#include <string>
#include <vector>

// systemd unit files for services.
namespace ZymWindows::Platform {

// Whether `name` may name a unit: letters, digits and ":-_.\@", at most
// 250 bytes (room for ".service").
bool IsValidUnitName(const std::string& name);

// The unit of a demand-started service that tells the manager when it is
// ready: its description, the command (program, then arguments; any bytes)
// and the services it needs, started before it. False when a text cannot be
// put in a unit (a control character, a description that ends in a
// backslash) or a dependency is not a valid name.
bool FormatServiceUnit(const std::string& description, const std::vector<std::string>& command,
                       const std::vector<std::string>& dependencies, std::string& unit);

} // namespace ZymWindows::Platform
