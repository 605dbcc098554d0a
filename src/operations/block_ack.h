#pragma once
// What the target's acknowledgement of a data block (response code 4) means
// for a programming run, judged from its status word alone, and the status
// display's lines for a run that it aborts.
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel {

enum class AckMeaning {
  kGoOn,             // the block was taken: the next one, or the end of the image
  kNotInLoaderMode,  // bit 0x1000: the target left its loader; abort
  kRecordError,      // a bit of 0x0A42: the target could not use the record; abort
};

// Not-in-loader-mode is judged first: with it, record errors are not listed.
// Every other bit (0x0100, 0x0020, ...) is only reported and lets the run go on.
AckMeaning MeaningOfAck(uint16_t status);

// The lines that report an abort, from the heading to "  Programming Aborted";
// for a record error one detail line per error bit. Empty for kGoOn.
std::vector<std::string> AbortLines(AckMeaning meaning, uint16_t status);

}  // namespace quarnel
