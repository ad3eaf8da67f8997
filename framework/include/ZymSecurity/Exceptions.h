#pragma once

#include <Zym/Export.h>

#include <Zym/Exception.h>

namespace ZymSecurity {

ZYM_ROOT_EXCEPTION(ZYM_EXPORT, SecurityException, ::Zym::Exception);
// A binary or text SID that is not well formed.
ZYM_LEAF_EXCEPTION(ZYM_EXPORT, InvalidSIDException, SecurityException);
// The credentials of a thread or process could not be read.
ZYM_LEAF_EXCEPTION(ZYM_EXPORT, TokenException, SecurityException);
// An account name or SID that a machine could not resolve.
ZYM_LEAF_EXCEPTION(ZYM_EXPORT, AccountLookupException, SecurityException);

} // namespace ZymSecurity
