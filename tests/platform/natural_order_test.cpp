#include "platform/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace platform {
namespace {

TEST(NaturalOrder, NumbersCountAsNumbersAndTheRestAsText) {
  std::vector<std::string> names = {"ttyUSB10", "COM10", "ttyS1",  "ttyUSB2", "COM2",
                                    "COM1",     "ttyS",  "ttyUSB", "ttyACM0", "COM9"};
  std::sort(names.begin(), names.end(), NaturalLess);
  EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM9", "COM10", "ttyACM0", "ttyS",
                                             "ttyS1", "ttyUSB", "ttyUSB2", "ttyUSB10"}));
}

TEST(NaturalOrder, NumbersOfAnyLengthAndLeadingZeros) {
  EXPECT_TRUE(NaturalLess("port99999999999999999999", "port100000000000000000000"));
  EXPECT_FALSE(NaturalLess("port100000000000000000000", "port99999999999999999999"));
  // The same number written differently: neither comes first, the rest decides.
  EXPECT_FALSE(NaturalLess("COM007", "COM7"));
  EXPECT_FALSE(NaturalLess("COM7", "COM007"));
  EXPECT_TRUE(NaturalLess("COM007a", "COM7b"));
  EXPECT_TRUE(NaturalLess("sim2-port10", "sim2-port11"));
  EXPECT_TRUE(NaturalLess("sim2-port99", "sim10-port1"));
  EXPECT_FALSE(NaturalLess("COM3", "COM3"));
}

}  // namespace
}  // namespace platform
