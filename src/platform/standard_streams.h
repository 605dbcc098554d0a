#pragma once
// The standard streams of a program started with some of them closed.

namespace platform {

// Makes sure descriptors 0, 1 and 2 are open, on the null device where they
// were closed, so that nothing opened later (a serial port) takes one of
// their numbers and receives what is written to standard output or error.
// Call it first thing in main(). False when the null device cannot be opened.
bool EnsureStandardStreamsOpen();

}  // namespace platform
