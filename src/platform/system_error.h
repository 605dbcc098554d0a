#pragma once
// The calling thread's last OS error, its text for error messages, and what
// it means, so that code above the platform can decide by the meaning rather
// than by one system's numbers.
#include <string>

namespace platform {

int LastError();
std::string SystemErrorText(int code);

// What went wrong, as far as the program acts on it.
enum class ErrorKind {
  kOther,
  kNotFound,        // no such device
  kAccessDenied,    // the user may not use the device
  kBusy,            // another program holds the device
  kNotASerialPort,  // the device is something else (a file, a console, ...)
  kGone,            // the device has vanished (hung up, unplugged)
};

// Some codes mean one thing when a device is opened and another while it is
// in use: on Windows, "access denied" from opening a serial port means that
// another program holds it (ports are opened for exclusive use, and users
// are not normally kept from them), and from a read or write on an open port
// that its adapter was unplugged.
enum class ErrorOccasion { kOpening, kInUse };

// Each system's codes are listed where they are classified
// (system_error_posix.cpp, system_error_win32.cpp); the serial device sets
// the codes that its Open documents.
ErrorKind ClassifySystemError(int code, ErrorOccasion occasion);

}  // namespace platform
