// A value kept out of line and made only once something is put in it: a
// pointer's size to copy while there is nothing, which is almost always.
// Copies are deep. Portable: no platform headers.
#pragma once

#include <memory>

template <typename T>
class OutOfLine {
 public:
  OutOfLine() = default;
  OutOfLine(const OutOfLine& other) : value_(Copy(other)) {}
  OutOfLine& operator=(const OutOfLine& other) {
    value_ = Copy(other);
    return *this;
  }
  OutOfLine(OutOfLine&&) noexcept = default;
  OutOfLine& operator=(OutOfLine&&) noexcept = default;

  const T* get() const { return value_.get(); }
  T& Made() {
    if (value_ == nullptr) value_ = std::make_unique<T>();
    return *value_;
  }

 private:
  static std::unique_ptr<T> Copy(const OutOfLine& other) {
    return other.value_ != nullptr ? std::make_unique<T>(*other.value_) : nullptr;
  }
  std::unique_ptr<T> value_;
};
