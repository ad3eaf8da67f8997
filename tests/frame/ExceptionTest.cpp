#include <ZymWindows/ZymWindows.h>

#include <gtest/gtest.h>

#include <memory>

using namespace ZymWindows;

namespace {

Zym::SmartPtr<Zym::MessageInfo> RegistryRecord() {
    return new Zym::MessageInfo(MSG_MODULE, MSG_REG_INVALID_ROOT_KEY, "ZymWindows/src/ZymRegistry",
                                42, std::string("HKEY_NOWHERE"));
}

} // namespace

TEST(Exception, RecordIsRenderedAndSharedNotCopied) {
    auto record = RegistryRecord();
    RegistryException original(record);
    EXPECT_EQ(original.What(), u"The root system key \"HKEY_NOWHERE\" is invalid.");
    EXPECT_EQ(record->NbRef(), 2);

    RegistryException copied(original);
    EXPECT_TRUE(copied.Info().IsNull());
    EXPECT_EQ(copied.What(), original.What());

    std::unique_ptr<Zym::BaseException> heap(original.Copy());
    ASSERT_NE(heap, nullptr);
    EXPECT_TRUE(heap->Info().IsNull());
    EXPECT_EQ(heap->What(), original.What());
    EXPECT_NE(dynamic_cast<RegistryException*>(heap.get()), nullptr);

    RegistryException assigned;
    assigned = original;
    EXPECT_EQ(assigned.Info().Get(), record.Get());
    EXPECT_EQ(record->NbRef(), 3);
    assigned = original; // same record already: no change
    EXPECT_EQ(record->NbRef(), 3);
    RegistryException& self = assigned;
    assigned = self;
    EXPECT_EQ(record->NbRef(), 3);
    assigned = RegistryException(u"other");
    EXPECT_EQ(record->NbRef(), 2);
    EXPECT_EQ(assigned.What(), u"other");
}

TEST(Exception, ThrowKeepsMostDerivedTypeAndText) {
    const NamedPipe::BrokenPipeException original(u"gone");
    const Zym::BaseException& asBase = original;
    try {
        asBase.Throw();
        FAIL() << "Throw returned";
    } catch (const NamedPipe::BrokenPipeException& caught) {
        EXPECT_EQ(caught.What(), u"gone");
        EXPECT_TRUE(caught.Info().IsNull());
    }
    EXPECT_THROW(asBase.Throw(), NamedPipe::NamedPipeException);
    EXPECT_THROW(asBase.Throw(), Zym::Exception);
    EXPECT_THROW(OLE::CorruptedStorageOLEException().Throw(), OLE::OLEException);
    EXPECT_THROW(WindowsQueryUsersException().Throw(), WindowsException);
}

TEST(MessageInfo, ParametersAndAnAttachedSystemError) {
    Zym::MessageInfo twoParams(MSG_MODULE, MSG_REG_DATATYPE_NOT_SUPPORTED, "f", 1,
                               std::string("HKLM\\Key"), std::string(""));
    EXPECT_EQ(twoParams.GetMsg(), u"The registry key datatype is not supported for key "
                                  u"HKLM\\Key/" +
                                      Zym::MessageInfo::EMPTY_PARAM_VALUE + u".");
    Zym::MessageInfo missing(MSG_MODULE, MSG_REG_VALUE_NOT_FOUND, "f", 1);
    EXPECT_EQ(missing.GetMsg(), u"The value \"" + Zym::MessageInfo::EMPTY_PARAM_VALUE +
                                    u"\" does not exist in " + Zym::MessageInfo::EMPTY_PARAM_VALUE +
                                    u".");
    // A system error attached to the record follows its text.
    Zym::MessageInfo call(MSG_MODULE, MSG_CALL_OPEN_SC_MANAGER, "ZymWindows/src/ZymService", 7);
    call.SetLastError(5);
    EXPECT_EQ(call.GetMsg(), u"OpenSCManager: Access is denied.");
    EXPECT_EQ(call.GetMsg(false), u"OpenSCManager");
}
