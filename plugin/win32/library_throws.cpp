// libstdc++ reports misuse of its containers (a size past max_size, an index
// out of range, a null C string) through these functions. Its own
// definitions sit in one object that brings every standard exception class,
// the copy-on-write strings that carry their messages and printf-style
// formatting: tens of KB in a DLL that never shows such a message. These
// throw what the plug-in's boundaries turn into the statuses they gave
// before: std::bad_alloc (E_OUTOFMEMORY) where the library threw bad_alloc
// or bad_array_new_length, and Failure(E_UNEXPECTED) where it threw any
// other exception.
#include <bits/functexcept.h>

#include <new>

#include "common/status.h"

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }

void __throw_bad_exception() { hushcall::Fail(hushcall::kUnexpected); }
void __throw_bad_cast() { hushcall::Fail(hushcall::kUnexpected); }
void __throw_bad_typeid() { hushcall::Fail(hushcall::kUnexpected); }
void __throw_logic_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_domain_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_invalid_argument(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_length_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_out_of_range(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_out_of_range_fmt(const char*, ...) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_runtime_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_range_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_overflow_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }
void __throw_underflow_error(const char*) { hushcall::Fail(hushcall::kUnexpected); }

}  // namespace std
