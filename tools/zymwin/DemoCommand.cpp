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
    int failed = 0;
    for (const auto& step : steps) {
        std::printf("== %s\n", step.title.c_str());
        std::fflush(stdout);
        // A step that fails (a system without some service, say) does not
        // keep the others from showing theirs.
        try {
            step.run();
        } catch (...) {
            std::fflush(stdout);
            std::fprintf(stderr, "zymwin demo: \"%s\" failed: %s\n", step.title.c_str(),
                         CurrentErrorMessage().c_str());
            ++failed;
        }
        std::puts("");
    }
    if (failed > 0) {
        std::printf("Demo finished; %d step(s) failed.\n", failed);
        return 1;
    }
    std::puts("Demo complete.");
    return 0;
}

const Registration g_Demo(Command{"demo", "walk through every family of the library", RunDemo});

} // namespace

} // namespace zymwin
