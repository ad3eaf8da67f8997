#include "Command.h"

#include <Zym/Exception.h>

#include <algorithm>
#include <exception>

namespace zymwin {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

std::vector<DemoStep>& DemoSteps() {
    static std::vector<DemoStep> steps;
    return steps;
}

Registration::Registration(Command command) {
    Commands().push_back(std::move(command));
}

Registration::Registration(DemoStep step) {
    DemoSteps().push_back(std::move(step));
}

bool WantsHelp(const Args& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

std::string CurrentErrorMessage() {
    try {
        throw;
    } catch (const UsageError& error) {
        return error.message;
    } catch (const Zym::BaseException& error) {
        return error.WhatUtf8();
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an error of an unknown kind";
    }
}

} // namespace zymwin
