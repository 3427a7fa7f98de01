// The figures of this process that a long run must not let grow: open file descriptors and
// resident memory.
#pragma once

#include <cstddef>

namespace rel {

std::size_t OpenFileDescriptors();
// VmRSS in KiB, or 0 when the system does not tell.
std::size_t ResidentKiB();

// Under AddressSanitizer freed memory sits in quarantine, so resident memory says nothing
// about leaks there (LeakSanitizer checks those instead).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

}  // namespace rel
