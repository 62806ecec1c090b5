// Status codes shared by the portable core and the COM boundary.
//
// The core reports failures as HRESULT values so that the COM methods can
// hand them to the host unchanged. Inside the core a failure that "ends the
// handler" travels as a Failure exception carrying its status; every
// boundary (COM method, window procedure, timer callback) catches it.
#pragma once

#include <cstdint>
#include <exception>
#include <new>

namespace hushcall {

using Status = std::int32_t;  // an HRESULT

inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;
inline constexpr Status kTypeMismatch = static_cast<Status>(0x80020005u);  // DISP_E_TYPEMISMATCH
inline constexpr Status kOverflow = static_cast<Status>(0x8002000Au);      // DISP_E_OVERFLOW
inline constexpr Status kPointer = static_cast<Status>(0x80004003u);  // E_POINTER
inline constexpr Status kFail = static_cast<Status>(0x80004005u);     // E_FAIL
inline constexpr Status kUnexpected = static_cast<Status>(0x8000FFFFu);
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu);
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);

// A call on another object fails only when the severity bit is set:
// S_FALSE and every other success code count as success.
constexpr bool Failed(Status s) { return s < 0; }

// HRESULT_FROM_WIN32, so that an OS error code survives to the caller.
constexpr Status StatusFromWin32(std::uint32_t error) {
  if (error == 0) return kFail;
  return static_cast<Status>((error & 0xFFFFu) | 0x80070000u);
}

// A failure that ends the handler it arises in.
class Failure : public std::exception {
 public:
  explicit Failure(Status status) noexcept : status_(status) {}
  Status status() const noexcept { return status_; }
  const char* what() const noexcept override { return "Hushcall failure"; }

 private:
  Status status_;
};

[[noreturn]] inline void Fail(Status status) { throw Failure(status); }

// Runs `body` (which returns a Status) at a boundary that nothing may cross,
// and turns whatever ends it early into the status handed back.
template <class Body>
Status StatusOf(Body&& body) noexcept {
  try {
    return body();
  } catch (const Failure& failure) {
    return failure.status();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kUnexpected;
  }
}

}  // namespace hushcall
