#pragma once

#include <ZymWindows/Export.h>

#include <Zym/Exception.h>

// The pipe exceptions are nested in the pipe stream class:
// NamedPipe::NamedPipeException and its leaves.
#include <ZymWindows/NamedPipe.h>

// The library's exception family. Root classes take a text or a catalogued
// record; leaf classes are told apart by their type alone.
namespace ZymWindows {

ZYM_ROOT_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsException, ::Zym::Exception);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsAccessDeniedException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsInvalidDomainException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsInvalidDomainServerException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsInvalidUserGroupException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsQueryAdminGroupException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsQueryDomainsException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsQueryGroupsException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsQueryMembersException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsQueryUsersException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsInvalidUUIDStringException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsUUIDInvalidNetworkAddressException, WindowsException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, WindowsUUIDOutOfMemoryException, WindowsException);

namespace OLE {
ZYM_ROOT_EXCEPTION(ZYMWINDOWS_EXPORT, OLEException, ::Zym::Exception);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, NotAStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, CorruptedStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, StorageNotFoundOLEException, OLEException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, StreamNotFoundOLEException, OLEException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, NotAPropertyStorageOLEException, OLEException);
ZYM_LEAF_EXCEPTION(ZYMWINDOWS_EXPORT, CorruptedPropertyStorageOLEException, OLEException);
} // namespace OLE

ZYM_ROOT_EXCEPTION(ZYMWINDOWS_EXPORT, RegistryException, ::Zym::Exception);

} // namespace ZymWindows
