#pragma once
// Ownership of one Core Foundation reference.
//
// Core Foundation's naming rule decides which constructor to use: a reference
// from a function named Create or Copy is already owned and is adopted; one
// from a Get function is borrowed and must be retained to be kept.

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace hushpad::macos {

template <typename T>
class CFRef {
 public:
  CFRef() = default;
  CFRef(const CFRef&) = delete;
  CFRef& operator=(const CFRef&) = delete;
  CFRef(CFRef&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
  CFRef& operator=(CFRef&& other) noexcept {
    std::swap(ref_, other.ref_);
    return *this;
  }
  ~CFRef() {
    if (ref_ != nullptr) CFRelease(ref_);
  }

  // Takes over a reference the caller owns (the result of a Create or Copy call).
  static CFRef adopt(T ref) noexcept { return CFRef(ref); }
  // Keeps a borrowed reference (the result of a Get call or a system constant).
  static CFRef retain(T ref) noexcept {
    if (ref != nullptr) CFRetain(ref);
    return CFRef(ref);
  }

  T get() const noexcept { return ref_; }
  explicit operator bool() const noexcept { return ref_ != nullptr; }

 private:
  explicit CFRef(T ref) noexcept : ref_(ref) {}

  T ref_ = nullptr;
};

}  // namespace hushpad::macos
