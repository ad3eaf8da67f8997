#include <Zym/LastError.h>

#include <gtest/gtest.h>

#include <cerrno>

// A pipe is a socket on Linux: a refused connection is a pipe that is not
// there.
TEST(LastError, ARefusedConnectionIsAMissingPipe) {
    EXPECT_EQ(Zym::Win32ErrorFromErrno(ECONNREFUSED), 2u);
}
