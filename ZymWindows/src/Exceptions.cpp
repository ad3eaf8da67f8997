#include "ZymWindows/Exceptions.h"

namespace ZymWindows {

ZYM_DEFINE_EXCEPTION(WindowsException);
ZYM_DEFINE_EXCEPTION(WindowsAccessDeniedException);
ZYM_DEFINE_EXCEPTION(WindowsInvalidDomainException);
ZYM_DEFINE_EXCEPTION(WindowsInvalidDomainServerException);
ZYM_DEFINE_EXCEPTION(WindowsInvalidUserGroupException);
ZYM_DEFINE_EXCEPTION(WindowsQueryAdminGroupException);
ZYM_DEFINE_EXCEPTION(WindowsQueryDomainsException);
ZYM_DEFINE_EXCEPTION(WindowsQueryGroupsException);
ZYM_DEFINE_EXCEPTION(WindowsQueryMembersException);
ZYM_DEFINE_EXCEPTION(WindowsQueryUsersException);
ZYM_DEFINE_EXCEPTION(WindowsInvalidUUIDStringException);
ZYM_DEFINE_EXCEPTION(WindowsUUIDInvalidNetworkAddressException);
ZYM_DEFINE_EXCEPTION(WindowsUUIDOutOfMemoryException);
ZYM_DEFINE_EXCEPTION(RegistryException);

namespace OLE {
ZYM_DEFINE_EXCEPTION(OLEException);
ZYM_DEFINE_EXCEPTION(NotAStorageOLEException);
ZYM_DEFINE_EXCEPTION(CorruptedStorageOLEException);
ZYM_DEFINE_EXCEPTION(StorageNotFoundOLEException);
ZYM_DEFINE_EXCEPTION(StreamNotFoundOLEException);
ZYM_DEFINE_EXCEPTION(NotAPropertyStorageOLEException);
ZYM_DEFINE_EXCEPTION(CorruptedPropertyStorageOLEException);
} // namespace OLE

namespace NamedPipe {
ZYM_DEFINE_EXCEPTION(NamedPipeException);
ZYM_DEFINE_EXCEPTION(BrokenPipeException);
ZYM_DEFINE_EXCEPTION(MustClosePipeException);
ZYM_DEFINE_EXCEPTION(CannotOpenPipeException);
} // namespace NamedPipe

} // namespace ZymWindows
