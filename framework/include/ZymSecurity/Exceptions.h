#pragma once

#include <Zym/Exception.h>

namespace ZymSecurity {

ZYM_ROOT_EXCEPTION(SecurityException, ::Zym::Exception);
// A binary or text SID that is not well formed.
ZYM_LEAF_EXCEPTION(InvalidSIDException, SecurityException);
// The credentials of a thread or process could not be read.
ZYM_LEAF_EXCEPTION(TokenException, SecurityException);
// An account name or SID that a machine could not resolve.
ZYM_LEAF_EXCEPTION(AccountLookupException, SecurityException);

} // namespace ZymSecurity
