#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zymwin {

using Args = std::vector<std::string>;

// A subcommand of zymwin. Each family's file registers its own with a
// static Registration, so adding a family touches no shared table.
struct Command {
    std::string name;
    std::string summary;
    std::function<int(const Args&)> run;
};

// A step of `zymwin demo`; steps run in the order of their `order` value.
struct DemoStep {
    int order;
    std::string title;
    std::function<void()> run;
};

std::vector<Command>& Commands();
std::vector<DemoStep>& DemoSteps();

struct Registration {
    explicit Registration(Command command);
    explicit Registration(DemoStep step);
};

// An error that ends the command with a one-line message and status 1.
struct UsageError {
    std::string message;
};

bool WantsHelp(const Args& args);

// The message of the exception being handled (inside a catch block), as
// zymwin prints its errors.
std::string CurrentErrorMessage();

} // namespace zymwin
