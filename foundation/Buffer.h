// Owned buffers (internal): every array the library keeps is a std::unique_ptr<T[]> made here, so
// that it is released with its owner and never by hand.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace zaq {

/// n value-initialised elements (zeros for plain data) owned by the result; n = 0 gives an array
/// of no elements, as new T[0] does. Empty for a negative n, for a count that no allocation can
/// hold and when the allocation fails: the caller reports an empty result as its own allocation
/// failure.
template <typename T>
std::unique_ptr<T[]> NewBuffer(long long n) {
    if (n < 0 ||
        static_cast<unsigned long long>(n) > std::numeric_limits<size_t>::max() / sizeof(T))
        return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(n)]());
}

/// One object owned by the result, or an empty result when the allocation fails.
template <typename T, typename... Args>
std::unique_ptr<T> NewOwned(Args&&... args) {
    return std::unique_ptr<T>(new (std::nothrow) T(std::forward<Args>(args)...));
}

}  // namespace zaq
