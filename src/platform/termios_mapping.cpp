#include "platform/termios_mapping.h"

#include <sys/ioctl.h>

#include <cerrno>

namespace platform {
namespace {

bool Refuse(std::string* refused_field, const char* field) {
  if (refused_field) *refused_field = field;
  errno = EINVAL;
  return false;
}

// Pseudo-terminals and some adapters have no modem lines; that is no failure.
bool SetModemLine(int fd, int line, bool high) {
  if (::ioctl(fd, high ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

// Drivers quietly keep what their hardware cannot do (a pseudo-terminal
// always has 8 bits, no parity); report that as a refusal rather than let the
// line run with other settings than asked.
bool CheckTaken(int fd, const termios& wanted, std::string* refused_field) {
  termios now{};
  if (::tcgetattr(fd, &now) != 0) return false;
  if ((now.c_cflag & CSIZE) != (wanted.c_cflag & CSIZE)) return Refuse(refused_field, "ByteSize");
  if ((now.c_cflag & (PARENB | PARODD | CMSPAR)) != (wanted.c_cflag & (PARENB | PARODD | CMSPAR))) {
    return Refuse(refused_field, "Parity");
  }
  if ((now.c_cflag & CSTOPB) != (wanted.c_cflag & CSTOPB)) return Refuse(refused_field, "StopBits");
  return true;
}

}  // namespace

bool DcbToTermios(const Dcb& dcb, termios& tio, std::string* refused_field) {
  tcflag_t size;
  switch (dcb.ByteSize) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return Refuse(refused_field, "ByteSize");
  }
  tcflag_t parity;
  switch (dcb.Parity) {
    case kParityNone:
      parity = 0;
      break;
    case kParityOdd:
      parity = PARENB | PARODD;
      break;
    case kParityEven:
      parity = PARENB;
      break;
    case kParityMark:
      parity = PARENB | CMSPAR | PARODD;
      break;
    case kParitySpace:
      parity = PARENB | CMSPAR;
      break;
    default:
      return Refuse(refused_field, "Parity");
  }
  tcflag_t stop;
  switch (dcb.StopBits) {
    case kStopBitsOne:
      stop = 0;
      break;
    case kStopBitsTwo:
      stop = CSTOPB;
      break;
    default:
      return Refuse(refused_field, "StopBits");  // 1.5 has no termios flag
  }
  const bool out_x = dcb.Flags & kFOutX;
  const bool in_x = dcb.Flags & kFInX;
  if ((out_x || in_x) && dcb.XonChar == dcb.XoffChar) return Refuse(refused_field, "XonChar");

  // Raw mode: no line editing, echo, signals or translations; the bytes pass
  // as they are.
  tio.c_iflag = 0;
  if ((dcb.Flags & kFParity) && parity != 0) tio.c_iflag |= INPCK;
  if (out_x) tio.c_iflag |= IXON;
  if (in_x) tio.c_iflag |= IXOFF;
  tio.c_oflag = 0;
  tio.c_lflag = 0;

  const tcflag_t speed_bits = tio.c_cflag & (CBAUD | CBAUDEX | CIBAUD);
  tio.c_cflag = speed_bits | size | parity | stop | CLOCAL | CREAD | HUPCL;
  const uint32_t rts = dcb.Flags & kFRtsControlMask;
  if ((dcb.Flags & kFOutxCtsFlow) || rts == kFRtsControlHandshake) tio.c_cflag |= CRTSCTS;

  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return true;
}

bool ApplyDcb(int fd, const Dcb& dcb, std::string* refused_field) {
  // Judge everything before changing anything.
  if (dcb.BaudRate == 0) return Refuse(refused_field, "BaudRate");
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  if (!DcbToTermios(dcb, tio, refused_field)) return false;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    if (errno == EINVAL && refused_field) *refused_field = "the device";
    return false;
  }
  if (!CheckTaken(fd, tio, refused_field)) return false;
  if (!SetSpeed(fd, dcb.BaudRate)) return false;
  const uint32_t dtr = dcb.Flags & kFDtrControlMask;
  const uint32_t rts = dcb.Flags & kFRtsControlMask;
  return SetModemLine(fd, TIOCM_DTR, dtr != kFDtrControlDisable) &&
         SetModemLine(fd, TIOCM_RTS, rts != kFRtsControlDisable);
}

bool ReadBackTermios(int fd, termios* tio) {
  return ::tcgetattr(fd, tio) == 0;
}

bool ReadBackModemLines(int fd, int* lines) {
  return ::ioctl(fd, TIOCMGET, lines) == 0;
}

}  // namespace platform
