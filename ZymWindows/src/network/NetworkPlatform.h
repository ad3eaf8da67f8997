#pragma once

#include <string>
#include <string_view>

namespace ZymWindows::Network {

// This computer's full host name, as the system gives it ("host.example.org");
// empty when it has none.
std::u16string FullHostName();

// Whether `name` means this computer: any name of it that the framework
// knows ("", ".", "localhost", its computer name) or its full host name, in
// any case, with or without two leading backslashes.
bool IsThisComputer(std::u16string_view name);

} // namespace ZymWindows::Network
