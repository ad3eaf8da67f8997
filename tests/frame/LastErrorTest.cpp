#include <Zym/LastError.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

// Each thread reads its own last error. Nothing but atomics runs between
// setting a code and reading it: on Windows any system call may change it.
TEST(LastError, ZeroMeansThisThreadsLastError) {
    std::atomic<int> step{0};
    const auto waitFor = [&step](int wanted) {
        while (step.load() != wanted)
            std::this_thread::yield();
    };
    std::thread other([&] {
        Zym::SetLastError(5);
        step = 1;
        waitFor(2);
        EXPECT_EQ(Zym::GetLastErrorMessage(0), u"Access is denied.");
        step = 3;
    });
    waitFor(1);
    Zym::SetLastError(109);
    step = 2;
    waitFor(3);
    EXPECT_EQ(Zym::GetLastErrorMessage(0), u"The pipe has been ended.");
    other.join();
}

TEST(LastError, ErrnoTranslation) {
    EXPECT_EQ(Zym::Win32ErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(Zym::Win32ErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(Zym::Win32ErrorFromErrno(EPIPE), 109u);
    // Without a Win32 equivalent the errno keeps its own text.
    const std::string text = std::strerror(EDOM);
    const unsigned long code = Zym::SetLastErrorFromErrno(EDOM);
    EXPECT_EQ(Zym::GetLastErrorMessage(0), std::u16string(text.begin(), text.end()));
    EXPECT_EQ(code, Zym::ERRNO_CODE_FLAG | EDOM);
    // The texts of known codes are checked where the families report them.
    EXPECT_EQ(Zym::GetLastErrorMessage(999999), u"Unknown error 999999.");
}
