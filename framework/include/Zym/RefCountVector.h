#pragma once

#include "Zym/SmartPtr.h"

#include <vector>

namespace Zym {

// A vector of counted references to shared objects.
template <class T, class Ptr = SmartPtr<T>> class RefCountVector : public std::vector<Ptr> {
public:
    using std::vector<Ptr>::vector;
};

} // namespace Zym
