#include "../DumpTestSupport.h"

#include <ZymWindows/ProcessDump.h>

#include <ZymThread/Thread.h>

#include <Child.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string Executable() {
    return fs::read_symlink("/proc/self/exe").string();
}

[[gnu::noinline]] __attribute__((no_sanitize("null"))) void CoreFaultSite() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 7;
}

class Crasher : public ZymThread::Function {
public:
    void* Call(void*) override {
        CoreFaultSite();
        return nullptr;
    }
};

// A worker thread crashes, so the crash site is not where a debugger
// would start by itself (the first thread).
[[gnu::noinline]] void CrashInWorker(const std::string& folder) {
    ZymWindows::InstallCrashHandler(folder, true);
    Zym::SmartPtr<ZymThread::Thread> thread = new ZymThread::Thread("Core crasher", new Crasher);
    thread->Run();
    thread->Join();
}

TEST(DumpCore, CrashCoreOpensInGdbAtTheCrashSite) {
    const zymtest::ScratchDirectory folder;
    zymtest::Child crashed = zymtest::Child::Fork([&] {
        CrashInWorker(folder.Path().string());
        return 0;
    });
    ASSERT_EQ(crashed.Wait().signal, SIGSEGV);
    const fs::path core = DumpTest::OnlyFile(folder.Path(), ".dmp");
    ASSERT_FALSE(core.empty());
    ASSERT_FALSE(DumpTest::OnlyFile(folder.Path(), ".txt").empty());

    const std::string gdb = zymtest::CommandOutput("gdb -batch -nx -ex 'thread apply all bt' '" +
                                                   Executable() + "' '" + core.string() + "'");
    ASSERT_NE(gdb.find("Program terminated with signal SIGSEGV"), std::string::npos) << gdb;
    // gdb starts in the thread of the first status note: the failing one.
    const std::size_t current = gdb.find("\n#0 ");
    ASSERT_NE(current, std::string::npos) << gdb;
    EXPECT_NE(gdb.substr(current, gdb.find('\n', current + 1) - current).find("CoreFaultSite"),
              std::string::npos)
        << gdb;
    EXPECT_NE(gdb.find("CrashInWorker"), std::string::npos) << gdb; // the main thread's stack
    EXPECT_NE(gdb.find("start_thread"), std::string::npos) << gdb;  // libc found too
}

TEST(DumpCore, CoreOfARunningProcessFullAndNot) {
    const zymtest::ScratchDirectory folder;
    const std::string small =
        ZymWindows::WriteCoreDump((folder.Path() / "small.core").string(), false, nullptr, 0);
    const std::string full =
        ZymWindows::WriteCoreDump(folder.Path().string() + "/", true, nullptr, 0);
    EXPECT_TRUE(full.ends_with(".dmp"));
    ASSERT_TRUE(fs::exists(small));
    ASSERT_TRUE(fs::exists(full));
    // The read-only file mappings make the difference.
    EXPECT_GT(fs::file_size(full), fs::file_size(small) + 1024 * 1024);
    for (const std::string& core : {small, full}) {
        const std::string stack = zymtest::CommandOutput("eu-stack --core='" + core +
                                                         "' --executable='" + Executable() + "'");
        EXPECT_NE(stack.find("ZymWindows::WriteCoreDump"), std::string::npos) << stack;
    }
}

} // namespace
