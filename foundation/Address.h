// An address as the log's "0x%llX" fields print it (internal).
#pragma once

#include <cstdint>
#include <type_traits>

namespace zaq {

inline unsigned long long Addr(const void* p) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p));
}

/// The address of a callback (a function pointer).
template <typename R, typename... A>
unsigned long long Addr(R (*f)(A...)) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(f));
}

}  // namespace zaq
