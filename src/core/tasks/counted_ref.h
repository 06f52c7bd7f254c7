#pragma once
// A counted reference to a platform object: holds one count, drops it on release.

#include <utility>

namespace runwarden {

template <class T>
class CountedRef {
 public:
  CountedRef() = default;
  CountedRef(const CountedRef&) = delete;
  CountedRef& operator=(const CountedRef&) = delete;
  CountedRef(CountedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  CountedRef& operator=(CountedRef&& other) noexcept {
    if (this != &other) {
      Release();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ~CountedRef() { Release(); }

  T* Get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Drops the count and leaves the reference empty.
  void Release() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }

  // Address for a platform call that stores a counted object; the reference must be empty.
  T** Put() { return &object_; }

  // Takes a further count on object, then drops the one held before.
  void Assign(T* object) {
    if (object) object->AddRef();
    if (T* previous = std::exchange(object_, object)) previous->Release();
  }

 private:
  T* object_ = nullptr;
};

}  // namespace runwarden
