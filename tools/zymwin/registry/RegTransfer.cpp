#include "RegCli.h"
#include "RegCommands.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zymwin::reg {

int Export(const Args& args) {
    const Options options = ParseOptions(args, {}, {"y"});
    if (options.positional.size() != 2)
        throw UsageError{"export takes a KEY and a FILE (see 'zymwin reg --help')"};
    const auto path = ParseKey(options.positional[0]);
    const std::string& file = options.positional[1];
    std::vector<unsigned char> bytes;
    try {
        bytes = ZymWindows::RegFile::Export(path);
    } catch (const ZymWindows::RegistryException& error) {
        throw UsageError{error.WhatUtf8()};
    }
    if (std::filesystem::exists(file) && !options.Has("y") &&
        !Confirm("File " + file + " already exists. Overwrite"))
        throw UsageError{CANCELLED};
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw UsageError{"cannot write " + file};
    std::puts(DONE);
    return 0;
}

int Import(const Args& args) {
    const Options options = ParseOptions(args, {}, {});
    if (options.positional.size() != 1)
        throw UsageError{"import takes one FILE (see 'zymwin reg --help')"};
    const std::string& file = options.positional[0];
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw UsageError{"cannot open " + file};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        ZymWindows::RegFile::Import(ZymWindows::RegFile::Parse(bytes.data(), bytes.size()));
    } catch (const ZymWindows::RegistryException& error) {
        throw UsageError{file + ": " + error.WhatUtf8()};
    }
    std::puts(DONE);
    return 0;
}

} // namespace zymwin::reg
