#include "comm/VaTypes.h"

#include <array>
#include <cctype>
#include <charconv>

#include "platform/comm_records.h"
#include "toolkit/exceptions.h"
#include "toolkit/same_text.h"

namespace comm {
namespace {

constexpr std::array<uint32_t, 16> kBaudrates = {0,     110,    300,    600,   1200,  2400,
                                                 4800,  9600,   14400,  19200, 38400, 56000,
                                                 57600, 115200, 128000, 256000};

constexpr std::array<uint32_t, kCommEventCount> kEventBits = {
    platform::kEvBreak,  platform::kEvCts,  platform::kEvDsr,      platform::kEvErr,
    platform::kEvRing,   platform::kEvRlsd, platform::kEvRxChar,   platform::kEvTxEmpty,
    platform::kEvRxFlag, platform::kEvPErr, platform::kEvRx80Full, platform::kEvEvent1,
    platform::kEvEvent2};

constexpr std::array<uint32_t, kCommOptionCount> kOptionFlags = {
    platform::kFErrorChar, platform::kFNull, platform::kFParity};

constexpr std::array<const char*, 16> kBaudrateNames = {
    "brUser",  "br110",   "br300",   "br600",   "br1200",  "br2400",   "br4800",   "br9600",
    "br14400", "br19200", "br38400", "br56000", "br57600", "br115200", "br128000", "br256000"};
constexpr std::array<const char*, 5> kParityNames = {"paNone", "paOdd", "paEven", "paMark",
                                                     "paSpace"};
constexpr std::array<const char*, 5> kDatabitsNames = {"db4", "db5", "db6", "db7", "db8"};
constexpr std::array<const char*, 3> kStopbitsNames = {"sb1", "sb15", "sb2"};
constexpr std::array<const char*, 3> kControlDtrNames = {"dtrDisabled", "dtrEnabled",
                                                         "dtrHandshake"};
constexpr std::array<const char*, 4> kControlRtsNames = {"rtsDisabled", "rtsEnabled",
                                                         "rtsHandshake", "rtsToggle"};
constexpr std::array<const char*, kCommEventCount> kCommEventNames = {
    "ceBreak",   "ceCts",    "ceDsr",  "ceError",    "ceRing",   "ceRlsd",  "ceRxChar",
    "ceTxEmpty", "ceRxFlag", "cePErr", "ceRx80Full", "ceEvent1", "ceEvent2"};
constexpr std::array<const char*, kCommOptionCount> kCommOptionNames = {
    "coErrorChar", "coNullStrip", "coParityCheck"};
constexpr std::array<const char*, 7> kThreadPriorityNames = {
    "tpIdle", "tpLowest", "tpLower", "tpNormal", "tpHigher", "tpHighest", "tpTimeCritical"};

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

}  // namespace

uint32_t BaudrateValue(TVaBaudrate baudrate, int32_t user_baudrate) {
  if (baudrate == brUser) return static_cast<uint32_t>(user_baudrate);
  const size_t i = static_cast<size_t>(baudrate);
  return i < kBaudrates.size() ? kBaudrates[i] : 0;
}

uint32_t CommEventBit(TVaCommEvent event) {
  const size_t i = static_cast<size_t>(event);
  return i < kEventBits.size() ? kEventBits[i] : 0;
}

uint32_t CommOptionFlag(TVaCommOption option) {
  const size_t i = static_cast<size_t>(option);
  return i < kOptionFlags.size() ? kOptionFlags[i] : 0;
}

std::span<const char* const> BaudrateNames() {
  return kBaudrateNames;
}
std::span<const char* const> ParityNames() {
  return kParityNames;
}
std::span<const char* const> DatabitsNames() {
  return kDatabitsNames;
}
std::span<const char* const> StopbitsNames() {
  return kStopbitsNames;
}
std::span<const char* const> ControlDtrNames() {
  return kControlDtrNames;
}
std::span<const char* const> ControlRtsNames() {
  return kControlRtsNames;
}
std::span<const char* const> CommEventNames() {
  return kCommEventNames;
}
std::span<const char* const> CommOptionNames() {
  return kCommOptionNames;
}
std::span<const char* const> ThreadPriorityNames() {
  return kThreadPriorityNames;
}

std::string OrdinalToText(std::span<const char* const> names, int ordinal) {
  if (ordinal >= 0 && static_cast<size_t>(ordinal) < names.size()) return names[ordinal];
  return std::to_string(ordinal);
}

int TextToOrdinal(std::span<const char* const> names, const std::string& text) {
  const std::string name = Trim(text);
  for (size_t i = 0; i < names.size(); ++i) {
    if (tk::SameText(name, names[i])) return static_cast<int>(i);
  }
  throw tk::EConvertError("Invalid property value '" + name + "'");
}

std::string BitsToSetText(std::span<const char* const> names, uint32_t bits) {
  std::string text = "[";
  for (size_t i = 0; i < names.size() && i < 32; ++i) {
    if (bits & (1u << i)) {
      if (text.size() > 1) text += ", ";
      text += names[i];
    }
  }
  return text + "]";
}

uint32_t SetTextToBits(std::span<const char* const> names, const std::string& text) {
  const std::string t = Trim(text);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') {
    throw tk::EConvertError("Invalid set value '" + t + "'");
  }
  const std::string inner = Trim(t.substr(1, t.size() - 2));
  uint32_t bits = 0;
  if (inner.empty()) return bits;
  size_t start = 0;
  while (true) {
    const size_t comma = inner.find(',', start);
    const std::string item =
        inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bits |= 1u << TextToOrdinal(names, item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return bits;
}

int32_t TextToInt(const std::string& text, int64_t min, int64_t max) {
  const std::string t = Trim(text);
  int64_t value = 0;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (first != last && *first == '+') ++first;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (t.empty() || ec != std::errc() || ptr != last) {
    throw tk::EConvertError("'" + t + "' is not a valid integer value");
  }
  if (value < min || value > max) {
    throw tk::EConvertError("Property value out of range: " + t);
  }
  return static_cast<int32_t>(value);
}

}  // namespace comm
