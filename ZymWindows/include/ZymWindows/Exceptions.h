#pragma once

#include <Zym/Exception.h>

// The pipe exceptions are nested in the pipe stream class:
// NamedPipe::NamedPipeException and its leaves.
#include <ZymWindows/NamedPipe.h>

// The library's exception family. Root classes take a text or a catalogued
// record; leaf classes are told apart by their type alone.
namespace ZymWindows {

ZYM_ROOT_EXCEPTION(WindowsException, ::Zym::Exception);
ZYM_LEAF_EXCEPTION(WindowsAccessDeniedException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsInvalidDomainException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsInvalidDomainServerException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsInvalidUserGroupException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsQueryAdminGroupException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsQueryDomainsException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsQueryGroupsException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsQueryMembersException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsQueryUsersException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsInvalidUUIDStringException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsUUIDInvalidNetworkAddressException, WindowsException);
ZYM_LEAF_EXCEPTION(WindowsUUIDOutOfMemoryException, WindowsException);

namespace OLE {
ZYM_ROOT_EXCEPTION(OLEException, ::Zym::Exception);
ZYM_LEAF_EXCEPTION(NotAStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(CorruptedStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(StorageNotFoundOLEException, OLEException);
ZYM_LEAF_EXCEPTION(StreamNotFoundOLEException, OLEException);
ZYM_LEAF_EXCEPTION(NotAPropertyStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(CorruptedPropertyStorageOLEException, OLEException);
} // namespace OLE

ZYM_ROOT_EXCEPTION(RegistryException, ::Zym::Exception);

} // namespace ZymWindows
