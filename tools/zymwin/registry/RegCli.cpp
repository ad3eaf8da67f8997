#include "RegCli.h"

#include <ZymCharset/Utf.h>
#include <ZymWindows/Exceptions.h>

#include <Zym/LastError.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>

namespace zymwin::reg {

namespace {

constexpr const char* TYPE_NAMES[] = {
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool IsSwitch(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
}

std::uint64_t LittleEndian(const std::vector<unsigned char>& data, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | data[i];
    return value;
}

std::string Hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

Options ParseOptions(const Args& args, const std::vector<std::string>& withValue,
                     const std::vector<std::string>& flags) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string name = IsSwitch(args[i]) ? Lower(args[i].substr(1)) : "";
        const bool known = std::find(withValue.begin(), withValue.end(), name) != withValue.end() ||
                           std::find(flags.begin(), flags.end(), name) != flags.end();
        // An absolute file path looks like a switch that nobody knows.
        if (name.empty() || (!known && args[i][0] == '/')) {
            options.positional.push_back(args[i]);
            continue;
        }
        if (std::find(withValue.begin(), withValue.end(), name) != withValue.end()) {
            if (i + 1 == args.size())
                throw UsageError{"/" + name + " needs a value"};
            options.switches[name] = args[++i];
        } else if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            options.switches[name] = "";
        } else {
            throw UsageError{"unknown switch " + args[i]};
        }
    }
    return options;
}

ZymWindows::RegFile::KeyPath ParseKey(const std::string& text) {
    ZymWindows::RegFile::KeyPath key;
    if (!ZymWindows::RegFile::ParseKeyPath(Wide(text), key))
        throw UsageError{"invalid key name '" + text +
                         "' (it starts with HKLM, HKCU, HKCR, HKU or HKCC)"};
    return key;
}

bool ValueName(const Options& options, std::u16string& name) {
    if (options.Has("v") && options.Has("ve"))
        throw UsageError{"/v and /ve cannot be used together"};
    if (options.Has("v"))
        name = Wide(options.Value("v"));
    else
        name.clear();
    return options.Has("v") || options.Has("ve");
}

std::string TypeName(unsigned long type) {
    if (type < std::size(TYPE_NAMES))
        return TYPE_NAMES[type];
    return Hex(type);
}

unsigned long ParseTypeName(const std::string& name) {
    const std::string upper = Upper(name);
    if (upper == "REG_DWORD_LITTLE_ENDIAN")
        return ZymWindows::REG_DWORD;
    for (unsigned long type = 0; type < std::size(TYPE_NAMES); ++type) {
        if (upper == TYPE_NAMES[type])
            return type;
    }
    throw UsageError{"unknown value type " + name};
}

std::string ShowData(unsigned long type, const std::vector<unsigned char>& data) {
    const std::u16string text = [&] {
        std::u16string units(data.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        return units;
    }();
    switch (type) {
    case ZymWindows::REG_SZ:
    case ZymWindows::REG_EXPAND_SZ:
        return Utf8(text.substr(0, text.find(u'\0')));
    case ZymWindows::REG_MULTI_SZ: {
        std::string shown;
        std::size_t start = 0;
        while (start < text.size() && text[start] != u'\0') {
            const auto end = std::min(text.find(u'\0', start), text.size());
            if (!shown.empty())
                shown += "\\0";
            shown += Utf8(text.substr(start, end - start));
            start = end + 1;
        }
        return shown;
    }
    case ZymWindows::REG_DWORD:
    case ZymWindows::REG_QWORD:
        if (data.size() == (type == ZymWindows::REG_DWORD ? 4u : 8u))
            return Hex(LittleEndian(data, data.size()));
        break;
    case ZymWindows::REG_DWORD_BIG_ENDIAN:
        if (data.size() == 4)
            return Hex(static_cast<std::uint64_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 |
                       data[3]);
        break;
    default:
        break;
    }
    std::string shown;
    for (const unsigned char byte : data) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        shown += digits;
    }
    return shown;
}

bool Confirm(const std::string& question) {
    std::printf("%s (Yes/No)? ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    const bool read = static_cast<bool>(std::getline(std::cin, answer));
    if (!read)
        std::puts("");
    answer = Lower(answer);
    return read && (answer == "y" || answer == "yes");
}

std::string Utf8(const std::u16string& text) {
    return ZymCharset::ToUtf8(text);
}

std::u16string Wide(const std::string& utf8) {
    return ZymCharset::FromUtf8(utf8);
}

ZymWindows::RegKeyW::Ptr OpenIfPresent(const ZymWindows::RegFile::KeyPath& path) {
    try {
        return ZymWindows::RegKeyW::Create(path.root, path.subPath,
                                           ZymWindows::RegKeyW::OPEN_READ_ONLY);
    } catch (const ZymWindows::RegistryException& error) {
        // The text starts with the system's text of the code. The thread's
        // last error is not read: on Windows the throw may change it.
        const std::u16string missing = Zym::GetLastErrorMessage(Zym::ERROR_FILE_NOT_FOUND) + u": ";
        if (error.What().starts_with(missing))
            return nullptr;
        throw;
    }
}

} // namespace zymwin::reg
