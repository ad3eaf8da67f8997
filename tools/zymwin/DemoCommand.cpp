#include "Command.h"

#include <algorithm>
#include <cstdio>

namespace zymwin {

namespace {

int RunDemo(const Args& args) {
    if (WantsHelp(args)) {
        std::puts("Usage: zymwin demo\n\n"
                  "Walks through each family of the library with live output.");
        return 0;
    }
    auto steps = DemoSteps();
    std::stable_sort(steps.begin(), steps.end(),
                     [](const auto& a, const auto& b) { return a.order < b.order; });
    for (const auto& step : steps) {
        std::printf("== %s\n", step.title.c_str());
        step.run();
        std::puts("");
    }
    std::puts("Demo complete.");
    return 0;
}

const Registration g_Demo(Command{"demo", "walk through every family of the library", RunDemo});

} // namespace

} // namespace zymwin
