// tests/support/zr_sanitized.h: ZR_MEMORY_SANITIZED, defined in AddressSanitizer and
// ThreadSanitizer builds, whose shadow memory and own allocator make memory figures meaningless.
#ifndef TESTS_SUPPORT_ZR_SANITIZED_H
#define TESTS_SUPPORT_ZR_SANITIZED_H

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZR_MEMORY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZR_MEMORY_SANITIZED 1
#endif
#endif

#endif  // TESTS_SUPPORT_ZR_SANITIZED_H
