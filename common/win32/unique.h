// One move-only owner per Win32 resource kind. The invalid value is part of
// the type, so a handle that failed to open can't be confused with one that
// opened.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace hushcall::win32 {

template <class T, T Invalid, class Closer>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T value) : value_(value) {}
  ~unique_any() { reset(); }
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    T old = std::exchange(value_, value);
    if (old != Invalid) Closer{}(old);
  }
  // For out-parameters: the owner is emptied first.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

struct HandleCloser { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct KeyCloser { void operator()(HKEY k) const { ::RegCloseKey(k); } };
struct BstrFreer { void operator()(BSTR s) const { ::SysFreeString(s); } };
struct WindowDestroyer { void operator()(HWND w) const { ::DestroyWindow(w); } };
struct LibraryFreer { void operator()(HMODULE m) const { ::FreeLibrary(m); } };

using unique_handle = unique_any<HANDLE, nullptr, HandleCloser>;  // events, threads
// Files and devices: CreateFile fails with INVALID_HANDLE_VALUE, not null.
class unique_hfile {
 public:
  unique_hfile() = default;
  explicit unique_hfile(HANDLE h) : h_(h) {}
  ~unique_hfile() { reset(); }
  unique_hfile(const unique_hfile&) = delete;
  unique_hfile& operator=(const unique_hfile&) = delete;
  unique_hfile(unique_hfile&& o) noexcept : h_(o.release()) {}
  unique_hfile& operator=(unique_hfile&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void reset(HANDLE h = INVALID_HANDLE_VALUE) {
    HANDLE old = std::exchange(h_, h);
    if (old != INVALID_HANDLE_VALUE) ::CloseHandle(old);
  }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};
using unique_hkey = unique_any<HKEY, nullptr, KeyCloser>;
using unique_bstr = unique_any<BSTR, nullptr, BstrFreer>;
using unique_hwnd = unique_any<HWND, nullptr, WindowDestroyer>;
using unique_hmodule = unique_any<HMODULE, nullptr, LibraryFreer>;

// A counted COM reference.
template <class T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(std::nullptr_t) {}
  // Adds a reference to `p`.
  explicit com_ptr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ~com_ptr() { reset(); }
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  com_ptr& operator=(com_ptr&& o) noexcept {
    if (this != &o) attach(std::exchange(o.p_, nullptr));
    return *this;
  }

  // Adds a reference to the new object first, then releases the old one.
  void assign(T* p) {
    if (p) p->AddRef();
    attach(p);
  }
  // Takes over a reference the caller already owns.
  void attach(T* p) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() { attach(nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

}  // namespace hushcall::win32
