#include <Zym/Exception.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <poll.h>
#include <sys/resource.h>

// Events as descriptors that poll() waits on.

using namespace ZymThread;

namespace {

bool Readable(const EventSemaphore& event) {
    pollfd fd{event.Handle(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);
}

} // namespace

TEST(Event, DescriptorIsReadableExactlyWhileSignalled) {
    EventSemaphore manual(true, true);
    EXPECT_EQ(manual.Wait(0), WAIT_OBJECT_0);
    EXPECT_TRUE(Readable(manual)) << "a manual-reset event stays set";
    ASSERT_TRUE(manual.Reset());
    EXPECT_FALSE(Readable(manual));

    EventSemaphore automatic(false, false);
    EXPECT_FALSE(Readable(automatic));
    ASSERT_TRUE(automatic.Set());
    ASSERT_TRUE(automatic.Set());
    EXPECT_TRUE(Readable(automatic));
    EXPECT_EQ(automatic.Wait(0), WAIT_OBJECT_0);
    EXPECT_FALSE(Readable(automatic)) << "two Sets must not leave two signals";
}

// Exits with 3 when creating an event without a free descriptor raises
// the system text of the failure.
void CreateEventWithoutDescriptors() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit none{0, limit.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);
    std::u16string text;
    try {
        EventSemaphore event(false, false);
    } catch (const Zym::Exception& error) {
        // Checked with descriptors back, which the sanitizers may need.
        ::setrlimit(RLIMIT_NOFILE, &limit);
        text = error.What();
    }
    std::exit(text == u"The system cannot open the file." ? 3 : 4);
}

TEST(EventDeathTest, CreationFailureRaisesWithTheSystemText) {
    EXPECT_EXIT(CreateEventWithoutDescriptors(), ::testing::ExitedWithCode(3), "");
}
