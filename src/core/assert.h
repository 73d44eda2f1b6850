#pragma once
// GFALL_ASSERT(condition, "message"): an internal invariant that no input can
// break, only a mistake in the program. Checked in builds without NDEBUG (the
// Debug / ASan + UBSan tree), where a broken one prints the message with the
// place and aborts; compiled out in release builds. Input that may be bad
// (files, options, peers) is checked with an error path instead.

#include <cstdio>
#include <cstdlib>

namespace core {

[[noreturn]] inline void AssertFailed(const char* condition, const char* message, const char* file,
                                      int line) {
  std::fprintf(stderr, "%s:%d: internal error: %s (%s)\n", file, line, message, condition);
  std::abort();
}

}  // namespace core

#ifndef NDEBUG
#define GFALL_ASSERT(condition, message) \
  ((condition) ? static_cast<void>(0)    \
               : ::core::AssertFailed(#condition, message, __FILE__, __LINE__))
#else
#define GFALL_ASSERT(condition, message) static_cast<void>(sizeof(!(condition)))
#endif
