#include <gtest/gtest.h>

#include <string>

#include "platform/comm_records.h"
#include "platform/line_marks_posix.h"

namespace platform {
namespace {

// Decodes `input` in blocks of `block_size` bytes and returns the data.
std::string Decoded(LineMarkDecoder& decoder, std::string input, size_t block_size,
                    uint32_t* events, uint32_t* errors) {
  std::string data;
  for (size_t at = 0; at < input.size(); at += block_size) {
    const size_t n = std::min(block_size, input.size() - at);
    std::span<uint8_t> block(reinterpret_cast<uint8_t*>(input.data() + at), n);
    const LineMarkDecoder::Found found = decoder.Decode(block);
    data.append(reinterpret_cast<const char*>(block.data()), found.data);
    *events |= found.events;
    *errors |= found.errors;
  }
  return data;
}

TEST(LineMarkDecoder, TakesOutMarksAlsoWhenReadsCutThem) {
  // A doubled 0xFF, a break, and a byte received in error, among data.
  const std::string marked = std::string("a\xff\xff") + "b" + std::string("\xff\0\0", 3) + "c" +
                             std::string("\xff\0x", 3) + "d";
  for (size_t block_size : {size_t{1}, size_t{2}, size_t{3}, marked.size()}) {
    LineMarkDecoder decoder;
    uint32_t events = 0, errors = 0;
    EXPECT_EQ(Decoded(decoder, marked, block_size, &events, &errors),
              "a\xff"
              "bcd")
        << "blocks of " << block_size;
    EXPECT_EQ(events, kEvBreak | kEvErr);
    EXPECT_EQ(errors, kCeBreak | kCeFrame);
  }
}

}  // namespace
}  // namespace platform
