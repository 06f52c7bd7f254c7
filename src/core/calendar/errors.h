#pragma once
// The error classes of the check. Errors carry a message text; the check run is the one
// place that catches them and turns them into a result line.

#include <exception>
#include <string>
#include <utility>

namespace runwarden {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A date or time that cannot be built from its parts.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace runwarden
