#pragma once
// How a device control block maps onto a Linux terminal: raw mode, character
// size, parity (mark and space through CMSPAR), stop bits, CTS/RTS and
// XON/XOFF flow control with their characters, CLOCAL|CREAD, VMIN/VTIME 0,
// the speed (a standard constant where the speed has one, so other tools
// read it back as it is; any other integer speed through the kernel's own
// interface), and the DTR and RTS lines.
//
// CTS flow and RTS handshake both map to CRTSCTS: Linux couples them.
// Parity generates and expects the parity bit; kFParity turns on the checking
// of received bytes (INPCK), and a byte that fails it is dropped (IGNPAR), as
// a byte received in error must not pass for data. Line breaks are ignored
// (IGNBRK) unless break events are monitored; then the terminal marks them
// in the input (PARMRK) and the device takes the marks out again. HUPCL is
// set: the lines drop when the port is released, as on the original driver.
//
// Fields with no effect on Linux, and why:
//  - kFOutxDsrFlow, kFDsrSensitivity: termios has no DSR flow control.
//  - DTR handshake: no DTR flow control either; DTR is raised as with enable.
//  - RTS toggle (RTS only while sending) needs RS-485 support in the driver;
//    RTS is raised as with enable.
//  - kFTXContinueOnXoff, XonLim, XoffLim: the kernel decides itself when to
//    send XOFF/XON for its own buffer; there are no thresholds to set.
//  - kFErrorChar/ErrorChar, kFNull: the line discipline cannot replace bytes
//    with parity errors or strip NULs in raw mode; data passes unchanged.
//  - EofChar: raw mode has no end-of-file character.
//  - kFAbortOnError: reads and writes are not aborted on line errors; the
//    errors are reported through SerialDevice::ClearError.
//  - kFBinary: always binary (raw mode).
//  - EvtChar: detected by the device's receive queue.
//
// Refused with EINVAL: 1.5 stop bits, character sizes outside 5..8, unknown
// parity or stop-bit values, equal XON and XOFF characters while XON/XOFF
// flow is on, and speed 0 (on Linux that means "hang up the line").
#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/comm_records.h"

namespace platform {

// Fills `tio` from `dcb`; `mark_breaks`: see SetBreakMarking. On refusal
// returns false with errno EINVAL and, when given, the name of the refused
// field in *refused_field.
bool DcbToTermios(const Dcb& dcb, bool mark_breaks, termios& tio,
                  std::string* refused_field = nullptr);

// Applies the whole block to `fd`: termios, speed and the DTR/RTS lines.
// False with errno on refusal or failure (the settings may then be partly
// applied; only a refusal before any change leaves the device untouched).
bool ApplyDcb(int fd, const Dcb& dcb, bool mark_breaks, std::string* refused_field = nullptr);

// Raw input and output for a device whose line settings are left as they
// are; breaks ignored. False with errno.
bool MakeRaw(int fd);

// Breaks ignored (false), or marked in the input as "\377\0\0" with a data
// byte \377 doubled (true). False with errno.
bool SetBreakMarking(int fd, bool mark_breaks);

// Everything a terminal was set to, to be put back when the port is closed.
struct SavedLineSettings {
  termios tio{};
  uint32_t speed = 0;  // for a speed without a standard constant
};
bool SaveLineSettings(int fd, SavedLineSettings* saved);
// Best effort: a device that has gone keeps nothing anyway.
void RestoreLineSettings(int fd, const SavedLineSettings& saved);

}  // namespace platform
