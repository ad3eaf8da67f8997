#include "UnitFile.h"

#include <algorithm>

namespace ZymWindows::Platform {

namespace {

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// Specifiers start with "%" in every setting.
std::string EscapeSpecifiers(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

// One word of a command line: quoted, so that spaces stay inside it, with
// the manager's escapes for quotes, backslashes and specifiers ("%"), for
// variable references ("$"), which it expands in arguments only, and for
// every byte past ASCII, so that a path that is not UTF-8 survives in a
// unit, which must be ("\xNN" gives the byte back).
std::string QuoteWord(const std::string& word, bool argument) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += {'\\', 'x', HEX[byte >> 4], HEX[byte & 0xF]};
            continue;
        }
        if (c == '"' || c == '\\')
            out += '\\';
        else if (c == '%' || (c == '$' && argument))
            out += c;
        out += c;
    }
    return out + "\"";
}

} // namespace

bool IsValidUnitName(const std::string& name) {
    if (name.empty() || name.size() > 250)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == ':' || c == '-' || c == '_' || c == '.' || c == '\\' || c == '@';
    });
}

bool FormatServiceUnit(const std::string& description, const std::vector<std::string>& command,
                       const std::vector<std::string>& dependencies, std::string& unit) {
    // A backslash at the end of a line joins the next line to it.
    if (command.empty() || HasControlCharacter(description) || description.ends_with('\\') ||
        std::any_of(command.begin(), command.end(), HasControlCharacter) ||
        !std::all_of(dependencies.begin(), dependencies.end(), IsValidUnitName))
        return false;
    unit = "[Unit]\nDescription=" + EscapeSpecifiers(description) + "\n";
    for (const std::string& dependency : dependencies)
        unit += "Requires=" + dependency + ".service\nAfter=" + dependency + ".service\n";
    unit += "\n[Service]\nType=notify\nExecStart=";
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (i > 0)
            unit += ' ';
        unit += QuoteWord(command[i], i > 0);
    }
    unit += "\n";
    return true;
}

} // namespace ZymWindows::Platform
