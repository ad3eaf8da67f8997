// The registry family: keys and value handles in both widths.
#include "RegKeyOpen.ipp"
#include "RegKeyValues.ipp"
#include "RegValueReads.ipp"

namespace ZymWindows {

template class RegValue<char>;
template class RegValue<char16_t>;
template class RegKeyT<char>;
template class RegKeyT<char16_t>;

} // namespace ZymWindows
