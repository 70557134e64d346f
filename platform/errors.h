#pragma once
// The program's error classes. Every failure an operator or caller must see is an
// exception carrying its message text; nothing else is reported through return codes.
#include <stdexcept>
#include <string>

namespace osc {

// The general error class: a message and nothing else.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string message() const { return what(); }
};

// Raised when a fixed-size memory block is full (the sample store's "Mem Full").
class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// Raised when text is not a number of the expected kind.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Raised for an index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// Raised when an operation that has no implementation in this class is called.
class EAbstractError : public Exception {
 public:
  EAbstractError() : Exception("Abstract Error") {}
};

}  // namespace osc
