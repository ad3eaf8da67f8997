#include "TempStore.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

namespace RegistryTest {

zymtest::ProcessResult Zymwin(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv{ZYMWIN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return zymtest::RunProcess(argv, input);
}

Raised Catch(const std::function<void()>& action) {
    try {
        action();
    } catch (const ZymWindows::RegistryException& error) {
        Raised raised;
        raised.text = error.WhatUtf8();
        if (error.Info()) {
            raised.code = error.Info()->Code();
            raised.params = error.Info()->Params();
        }
        return raised;
    }
    ADD_FAILURE() << "no RegistryException";
    return {};
}

} // namespace RegistryTest
