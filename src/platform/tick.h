#pragma once
// A millisecond tick for time-outs: monotonic, wrapping at 32 bits, so
// differences computed in uint32_t stay right across the wrap.
#include <cstdint>
#include <functional>

namespace platform {

uint32_t TickCount();

// Replaces the clock behind TickCount (virtual time in tests); an empty
// function restores the real clock.
void SetTickSourceForTesting(std::function<uint32_t()> source);

}  // namespace platform
