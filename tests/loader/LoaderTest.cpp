// Loads the library at run time into a process that already has a catalog,
// as a program with several of the family's libraries does.
#include <ZymMessages/ZymMessages.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

TEST(Loader, SecondRegistrationNeitherReinitialisesNorFreesTheCatalog) {
    ASSERT_FALSE(ZymMessages::IsInitialized());
    ZymMessagesInit::ms_Cnt = 1;
    ZymMessages::Init();
    // Another module's message: survives the library's load and unload.
    const unsigned char blob[] = {1, 0, 0, 0, 5, 0, 0, 0, 'O', 't', 'h', 'e', 'r', 7, 0,
                                  0, 0, 2, 0, 0, 0, 1, 2, 0,   0,   0,   'k', 0,   0};
    ASSERT_TRUE(ZymMessages::Load(blob, sizeof blob, "Other.h"));

    void* library = dlopen(ZYMWINDOWS_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_EQ(ZymMessagesInit::ms_Cnt, 2);
    EXPECT_TRUE(ZymMessages::IsLoaded("ZymWindowsMsg-I.h"));
    EXPECT_EQ(ZymMessages::ReadMessage("ZymWindows", 5), u"Unknown exception.");
    EXPECT_EQ(ZymMessages::ReadMessage("Other", 7), u"k");

    ASSERT_EQ(dlclose(library), 0);
    EXPECT_EQ(ZymMessagesInit::ms_Cnt, 1);
    EXPECT_TRUE(ZymMessages::IsInitialized());
    EXPECT_EQ(ZymMessages::ReadMessage("Other", 7), u"k");
}

TEST(Loader, FirstRegistrationInitialisesAndLastFrees) {
    ZymMessages::Free();
    ZymMessagesInit::ms_Cnt = 0;
    void* library = dlopen(ZYMWINDOWS_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_EQ(ZymMessagesInit::ms_Cnt, 1);
    EXPECT_EQ(ZymMessages::ReadMessage("ZymWindows", 4),
              u"The other end of the pipe has disconnected.");
    ASSERT_EQ(dlclose(library), 0);
    EXPECT_EQ(ZymMessagesInit::ms_Cnt, 0);
    EXPECT_FALSE(ZymMessages::IsInitialized());
}
