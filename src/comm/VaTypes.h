#pragma once
// Enumerations and sets of the serial component: their ordinals, the values the
// device takes for them, and their names in the window-definition text.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "toolkit/thread.h"

namespace comm {

// Unscoped on purpose: members read as in the window definition (br115200),
// and TVaBaudrate::br115200 works as well.
enum TVaBaudrate : uint8_t {
  brUser,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};

enum TVaParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TVaDatabits : uint8_t { db4, db5, db6, db7, db8 };
enum TVaStopbits : uint8_t { sb1, sb15, sb2 };
enum TVaControlDtr : uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };
enum TVaControlRts : uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

enum TVaCommEvent : uint8_t {
  ceBreak,
  ceCts,
  ceDsr,
  ceError,
  ceRing,
  ceRlsd,
  ceRxChar,
  ceTxEmpty,
  ceRxFlag,
  cePErr,
  ceRx80Full,
  ceEvent1,
  ceEvent2
};
constexpr int kCommEventCount = 13;

enum TVaCommOption : uint8_t { coErrorChar, coNullStrip, coParityCheck };
constexpr int kCommOptionCount = 3;

// A set of enumeration members stored as bits: bit n = member of ordinal n.
template <class E, class Bits>
class TVaSet {
 public:
  using BitsType = Bits;
  constexpr TVaSet() = default;
  constexpr TVaSet(std::initializer_list<E> members) {
    for (E m : members) Include(m);
  }
  static constexpr TVaSet FromBits(Bits bits) {
    TVaSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Contains(E m) const { return (bits_ >> static_cast<int>(m)) & 1u; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TVaSet& Include(E m) {
    bits_ = static_cast<Bits>(bits_ | (1u << static_cast<int>(m)));
    return *this;
  }
  friend constexpr bool operator==(TVaSet a, TVaSet b) { return a.bits_ == b.bits_; }

 private:
  Bits bits_ = 0;
};

using TVaCommEvents = TVaSet<TVaCommEvent, uint16_t>;
using TVaCommOptions = TVaSet<TVaCommOption, uint8_t>;

// ---- values the device takes ----

// The line speed of a member; brUser stands for `user_baudrate`.
uint32_t BaudrateValue(TVaBaudrate baudrate, int32_t user_baudrate);
// The device event bit of an event (kEv*).
uint32_t CommEventBit(TVaCommEvent event);
// The device control block flag of an option (kF*).
uint32_t CommOptionFlag(TVaCommOption option);

// ---- names in the window-definition text ----

std::span<const char* const> BaudrateNames();
std::span<const char* const> ParityNames();
std::span<const char* const> DatabitsNames();
std::span<const char* const> StopbitsNames();
std::span<const char* const> ControlDtrNames();
std::span<const char* const> ControlRtsNames();
std::span<const char* const> CommEventNames();
std::span<const char* const> CommOptionNames();
std::span<const char* const> ThreadPriorityNames();

// Member name of an ordinal; the ordinal in decimal when out of range.
std::string OrdinalToText(std::span<const char* const> names, int ordinal);
// Ordinal of a member name (case-insensitive); throws tk::EConvertError when
// the name is unknown.
int TextToOrdinal(std::span<const char* const> names, const std::string& text);
// "[a, b]" in ordinal order; "[]" for no member.
std::string BitsToSetText(std::span<const char* const> names, uint32_t bits);
// Parses "[a, b]"; throws tk::EConvertError on malformed text or unknown names.
uint32_t SetTextToBits(std::span<const char* const> names, const std::string& text);

// Integer property text; throws tk::EConvertError unless it is a whole number
// within [min, max].
int32_t TextToInt(const std::string& text, int64_t min, int64_t max);

template <class E>
std::string EnumToText(std::span<const char* const> names, E value) {
  return OrdinalToText(names, static_cast<int>(value));
}
template <class E>
E TextToEnum(std::span<const char* const> names, const std::string& text) {
  return static_cast<E>(TextToOrdinal(names, text));
}

}  // namespace comm
