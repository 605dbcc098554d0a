#pragma once
// Exception classes of the runtime. Every exception that the program raises on
// purpose derives from tk::Exception, so the general error report can show its
// message and its class name.
#include <stdexcept>
#include <string>

namespace tk {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  virtual std::string ClassName() const { return "Exception"; }
};

// Raised by TPersistent::Assign for a source it cannot take.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  std::string ClassName() const override { return "EConvertError"; }
};

// Ends a handler quietly: the general error report shows nothing for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
  std::string ClassName() const override { return "EAbort"; }
};

// The class name to show for any exception (tk::Exception or not).
std::string ExceptionClassName(const std::exception& e);

}  // namespace tk
