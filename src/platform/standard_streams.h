#pragma once
// The standard streams of a program started with some of them closed, and
// writing to them past the C library.
#include <string>

#include "platform/terminal.h"

namespace platform {

// Makes sure descriptors 0, 1 and 2 are open, on the null device where they
// were closed, so that nothing opened later (a serial port) takes one of
// their numbers and receives what is written to standard output or error.
// Call it first thing in main(). False when the null device cannot be opened.
bool EnsureStandardStreamsOpen();

// Writes all of `text` to the stream with the system's own calls, past the
// C library's buffer and its lock: a thread that blocks here (a reader that
// stalls) holds nothing that the rest of the program, or its exit, waits
// for. False once the stream is closed or fails.
bool WriteStandardStream(StandardStream stream, const std::string& text);

}  // namespace platform
