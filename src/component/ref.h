// An owning interface pointer: releases its reference when it goes away, so hosts cannot
// forget to.
#pragma once

#include <utility>

#include "component/unknown.h"

namespace tervane::component {

template <typename Interface>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Ref() { Reset(); }

  // Takes over a reference the caller already holds (as QueryInterface hands out).
  static Ref Adopt(Interface* p) {
    Ref ref;
    ref.p_ = p;
    return ref;
  }

  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  Interface* get() const { return p_; }
  Interface* operator->() const { return p_; }
  Interface& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that hand out a new reference through a void** argument; any reference
  // held before is released first.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }

  // This object's interface `iid` as a new Ref; empty when it has none.
  template <typename Other>
  Ref<Other> Query(const Guid& iid) const {
    Ref<Other> other;
    if (p_) p_->QueryInterface(iid, other.Out());
    return other;
  }

 private:
  Interface* p_ = nullptr;
};

}  // namespace tervane::component
