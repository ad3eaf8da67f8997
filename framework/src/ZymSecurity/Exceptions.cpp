#include "ZymSecurity/Exceptions.h"

namespace ZymSecurity {

ZYM_DEFINE_EXCEPTION(SecurityException);
ZYM_DEFINE_EXCEPTION(InvalidSIDException);
ZYM_DEFINE_EXCEPTION(TokenException);
ZYM_DEFINE_EXCEPTION(AccountLookupException);

} // namespace ZymSecurity
