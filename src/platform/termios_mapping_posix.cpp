#include "platform/termios_mapping_posix.h"

#include <sys/ioctl.h>

#include <cerrno>

#include "platform/termios_speed_posix.h"

namespace platform {
namespace {

bool Refuse(std::string* refused_field, const char* field) {
  if (refused_field) *refused_field = field;
  errno = EINVAL;
  return false;
}

// The terminal's constant for a speed, or B0 when it has none.
speed_t StandardSpeed(uint32_t speed) {
  struct Standard {
    uint32_t speed;
    speed_t constant;
  };
  static constexpr Standard kStandard[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000}};
  for (const Standard& s : kStandard) {
    if (s.speed == speed) return s.constant;
  }
  return B0;
}

// How breaks and bytes received in error reach the program: never as data.
void SetLineErrorInput(termios& tio, bool mark_breaks) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | IGNPAR);
  tio.c_iflag |= mark_breaks ? PARMRK : IGNBRK;
  if (tio.c_iflag & INPCK) tio.c_iflag |= IGNPAR;
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

bool DcbToTermios(const Dcb& dcb, bool mark_breaks, termios& tio, std::string* refused_field) {
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
  SetLineErrorInput(tio, mark_breaks);
  tio.c_oflag = 0;
  tio.c_lflag = 0;

  const tcflag_t speed_bits = tio.c_cflag & (CBAUD | CBAUDEX | CIBAUD);
  tio.c_cflag = speed_bits | size | parity | stop | CLOCAL | CREAD | HUPCL;
  const uint32_t rts = dcb.Flags & kFRtsControlMask;
  if ((dcb.Flags & kFOutxCtsFlow) || rts == kFRtsControlHandshake) tio.c_cflag |= CRTSCTS;
  // A speed without a constant keeps the old bits here; ApplyDcb sets it.
  if (const speed_t standard = StandardSpeed(dcb.BaudRate); standard != B0) {
    ::cfsetospeed(&tio, standard);
    ::cfsetispeed(&tio, standard);
  }

  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return true;
}

bool ApplyDcb(int fd, const Dcb& dcb, bool mark_breaks, std::string* refused_field) {
  // Judge everything before changing anything.
  if (dcb.BaudRate == 0) return Refuse(refused_field, "BaudRate");
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  if (!DcbToTermios(dcb, mark_breaks, tio, refused_field)) return false;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    if (errno == EINVAL && refused_field) *refused_field = "the device";
    return false;
  }
  if (!CheckTaken(fd, tio, refused_field)) return false;
  if (StandardSpeed(dcb.BaudRate) == B0 && !SetArbitrarySpeed(fd, dcb.BaudRate)) return false;
  const uint32_t dtr = dcb.Flags & kFDtrControlMask;
  const uint32_t rts = dcb.Flags & kFRtsControlMask;
  return SetModemLine(fd, TIOCM_DTR, dtr != kFDtrControlDisable) &&
         SetModemLine(fd, TIOCM_RTS, rts != kFRtsControlDisable);
}

bool MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  // The component reads bytes, never lines, even when it leaves the line
  // settings alone.
  tio.c_iflag &= ~(ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
  SetLineErrorInput(tio, false);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool SetBreakMarking(int fd, bool mark_breaks) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  SetLineErrorInput(tio, mark_breaks);
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool SaveLineSettings(int fd, SavedLineSettings* saved) {
  return ::tcgetattr(fd, &saved->tio) == 0 && ReadBackSpeed(fd, &saved->speed);
}

void RestoreLineSettings(int fd, const SavedLineSettings& saved) {
  if (::tcsetattr(fd, TCSANOW, &saved.tio) != 0) return;
  // tcsetattr cannot carry a speed that has no constant.
  if (saved.speed != 0 && StandardSpeed(saved.speed) == B0) {
    (void)SetArbitrarySpeed(fd, saved.speed);
  }
}

}  // namespace platform
