#pragma once
// How a device control block maps onto a Linux terminal: raw mode, character
// size, parity (mark and space through CMSPAR), stop bits, CTS/RTS and
// XON/XOFF flow control with their characters, CLOCAL|CREAD, VMIN/VTIME 0,
// any integer speed, and the DTR and RTS lines.
//
// CTS flow and RTS handshake both map to CRTSCTS: Linux couples them.
// Parity generates and expects the parity bit; kFParity turns on the checking
// of received bytes (INPCK), as on the original driver. HUPCL is set: the
// lines drop when the port is released, as on the original driver.
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
//  - EvtChar: detected by SerialDevice while it fills its receive queue.
//
// Refused with EINVAL: 1.5 stop bits, character sizes outside 5..8, unknown
// parity or stop-bit values, equal XON and XOFF characters while XON/XOFF
// flow is on, and speed 0 (on Linux that means "hang up the line").
#include <termios.h>

#include <cstdint>
#include <string>

#include "platform/comm_records.h"
#include "platform/termios_speed.h"

namespace platform {

// Fills `tio` (all but the speed) from `dcb`. On refusal returns false with
// errno EINVAL and, when given, the name of the refused field in
// *refused_field.
bool DcbToTermios(const Dcb& dcb, termios& tio, std::string* refused_field = nullptr);

// Applies the whole block to `fd`: termios, speed and the DTR/RTS lines.
// False with errno on refusal or failure (the settings may then be partly
// applied; only a refusal before any change leaves the device untouched).
bool ApplyDcb(int fd, const Dcb& dcb, std::string* refused_field = nullptr);

// Reading the settings back, for diagnostics and tests (the speed: see
// ReadBackSpeed).
bool ReadBackTermios(int fd, termios* tio);
// TIOCM_* line bits (TIOCMGET).
bool ReadBackModemLines(int fd, int* lines);

}  // namespace platform
