#pragma once
// The exit statuses of quarnel-cli: what a calling script sees, and what a
// station records for every unit.
namespace quarnel {

enum ExitStatus : int {
  kExitOk = 0,              // programmed, and the target answered the reset
  kExitFailed = 1,          // the chain stopped otherwise (an unexpected answer or error)
  kExitUsage = 2,           // wrong command line
  kExitCouldNotStart = 3,   // port not opened, image missing, unreadable or empty
  kExitAborted = 4,         // the target reported an error during programming
  kExitTimeOut = 5,         // no answer to an erase, a data record or the reset
  kExitCaptureTimeOut = 6,  // the target did not answer the capture within --capture-timeout
  kExitPortLost = 7,        // the port's device went away (adapter unplugged) during the run
  kExitWrongTarget = 8,     // the unit is not one of those allowed: reset, not erased
  kExitSignalBase = 128,    // + the signal: 130 for Ctrl-C, 143 for SIGTERM
};

}  // namespace quarnel
