#include <Zym/LastError.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(LastError, TextsOfTheCodesTheLibraryNames) {
    EXPECT_EQ(Zym::GetLastErrorMessage(2), u"The system cannot find the file specified.");
    EXPECT_EQ(Zym::GetLastErrorMessage(5), u"Access is denied.");
    EXPECT_EQ(Zym::GetLastErrorMessage(53), u"The network path was not found.");
    EXPECT_EQ(Zym::GetLastErrorMessage(231), u"All pipe instances are busy.");
    EXPECT_EQ(Zym::GetLastErrorMessage(1018),
              u"Illegal operation attempted on a registry key that has been marked for "
              u"deletion.");
    EXPECT_EQ(Zym::GetLastErrorMessage(999999), u"Unknown error 999999.");
}

TEST(LastError, ZeroMeansThisThreadsLastError) {
    Zym::SetLastError(109);
    std::thread other([] {
        EXPECT_EQ(Zym::GetLastError(), 0u);
        Zym::SetLastError(5);
        EXPECT_EQ(Zym::GetLastErrorMessage(0), u"Access is denied.");
    });
    other.join();
    EXPECT_EQ(Zym::GetLastErrorMessage(0), u"The pipe has been ended.");
}

TEST(LastError, ErrnoTranslation) {
    EXPECT_EQ(Zym::Win32ErrorFromErrno(ENOENT), 2u);
    EXPECT_EQ(Zym::Win32ErrorFromErrno(ECONNREFUSED), 2u);
    EXPECT_EQ(Zym::Win32ErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(Zym::Win32ErrorFromErrno(EPIPE), 109u);
    // Without a Win32 equivalent the errno keeps its own text.
    EXPECT_EQ(Zym::SetLastErrorFromErrno(EDOM), Zym::ERRNO_CODE_FLAG | EDOM);
    EXPECT_EQ(Zym::GetLastErrorMessage(0), u"Numerical argument out of domain");
}
