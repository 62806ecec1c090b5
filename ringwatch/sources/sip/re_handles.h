// Owners of libre's reference-counted objects: one reference each, given
// back with mem_deref.
#pragma once

#include <re.h>

#include <utility>

namespace hushcall::ringwatch {

template <typename T>
class ReRef {
 public:
  ReRef() = default;
  explicit ReRef(T* object) : object_(object) {}
  ~ReRef() { reset(); }
  ReRef(ReRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ReRef& operator=(ReRef&& other) noexcept {
    if (this != &other) reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  ReRef(const ReRef&) = delete;
  ReRef& operator=(const ReRef&) = delete;

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

  void reset(T* object = nullptr) {
    if (T* old = std::exchange(object_, object)) ::mem_deref(old);
  }
  // For libre's allocators, which write what they made through a T**: the
  // one held goes first.
  T** out() {
    reset();
    return &object_;
  }
  // For libre's calls that may take the reference over and clear the
  // pointer, as sip_treply does with a final answer.
  T** slot() { return &object_; }

 private:
  T* object_ = nullptr;
};

}  // namespace hushcall::ringwatch
