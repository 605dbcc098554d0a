// Station files: a whole one read as written, and every fault an engineer
// can make reported with the file, its line and the key, before anything
// is opened.
#include "station/recipe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/files.h"
#include "support/temp_dir.h"

namespace quarnel::station {
namespace {

using ::testing::HasSubstr;

const std::string kHash(64, 'a');

const char kWhole[] = R"(# line 3, bench 2
station = "line 3, bench 2"
image = "firmware/unit-4.2.cry"
image_sha256 = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
target_ids = ["1a2b", "00C7"]
log = "logs/units.log"
units = 500
capture_timeout = 60

[[slot]]
name = "A"
port = "usb-path:1-1.2"
[[slot]]
name = "B"
port = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.3:1.0-port0"
)";

TEST(Recipe, AWholeFileReadsAsWrittenWithPathsBesideIt) {
  const auto read = ParseRecipe(kWhole, "/srv/line3/bench2.toml");
  ASSERT_TRUE(std::holds_alternative<Recipe>(read)) << std::get<RecipeFault>(read).Describe();
  const Recipe& recipe = std::get<Recipe>(read);
  EXPECT_EQ(recipe.station, "line 3, bench 2");
  EXPECT_EQ(recipe.image, "/srv/line3/firmware/unit-4.2.cry");
  EXPECT_EQ(recipe.image_sha256, kHash);
  EXPECT_EQ(recipe.target_ids, (std::vector<std::string>{"1A2B", "00C7"}));
  EXPECT_EQ(recipe.log, "/srv/line3/logs/units.log");
  EXPECT_EQ(recipe.units, 500);
  EXPECT_EQ(recipe.capture_timeout_s, 60.0);
  ASSERT_EQ(recipe.slots.size(), 2u);
  EXPECT_EQ(recipe.slots[0].name, "A");
  EXPECT_EQ(recipe.slots[0].port, "usb-path:1-1.2");
  EXPECT_EQ(recipe.slots[1].name, "B");
  // The record names the file by its own fingerprint.
  EXPECT_EQ(recipe.sha256.size(), 64u);
  EXPECT_NE(std::get<Recipe>(ParseRecipe(std::string(kWhole) + "# changed\n", "/a.toml")).sha256,
            recipe.sha256);
}

TEST(Recipe, OnlyImageHashAndSlotsAreRequired) {
  const auto read = ParseRecipe("image = \"/i.cry\"\nimage_sha256 = \"" + kHash +
                                    "\"\n[[slot]]\nname = \"1\"\nport = \"sim0\"\n",
                                "/r.toml");
  ASSERT_TRUE(std::holds_alternative<Recipe>(read)) << std::get<RecipeFault>(read).Describe();
  const Recipe& recipe = std::get<Recipe>(read);
  EXPECT_TRUE(recipe.station.empty());
  EXPECT_TRUE(recipe.target_ids.empty());
  EXPECT_FALSE(recipe.log || recipe.units || recipe.capture_timeout_s);
}

struct Faulty {
  const char* what;
  std::string text;
  int line;
  std::string key;
  std::string says;
};

std::string Base(const std::string& extra = "") {
  return "image = \"i.cry\"\nimage_sha256 = \"" + kHash + "\"\n" + extra +
         "[[slot]]\nname = \"A\"\nport = \"sim0\"\n";
}

TEST(Recipe, EveryFaultNamesFileLineAndKey) {
  const std::vector<Faulty> cases{
      {"syntax", Base("station = \"unclosed\n"), 3, "", ""},
      {"unknown key", Base("speed = 9600\n"), 3, "speed", "unknown key"},
      {"wrong type", Base("units = \"many\"\n"), 3, "units", "whole number"},
      {"missing hash", "image = \"i.cry\"\n[[slot]]\nname = \"A\"\nport = \"sim0\"\n", 1,
       "image_sha256", "required"},
      {"bad hash",
       "image = \"i.cry\"\nimage_sha256 = \"9f86d0\"\n[[slot]]\nname=\"A\"\nport=\"x\"\n", 2,
       "image_sha256", "64 hex digits"},
      {"missing image", "image_sha256 = \"" + kHash + "\"\n[[slot]]\nname=\"A\"\nport=\"x\"\n", 1,
       "image", "missing"},
      {"slot without port", Base() + "[[slot]]\nname = \"B\"\n", 6, "slot.port", "'B' has no port"},
      {"slot without name", Base() + "[[slot]]\nport = \"sim1\"\n", 6, "slot.name", "missing"},
      {"two slots, one name", Base() + "[[slot]]\nname = \"A\"\nport = \"sim1\"\n", 7, "slot.name",
       "two slots are named 'A'"},
      {"unknown slot key", Base() + "[[slot]]\nname = \"B\"\nport = \"x\"\nbaud = 1\n", 9,
       "slot.baud", "unknown key"},
      {"target ID", Base("target_ids = [\"1A2B\", \"12345\"]\n"), 3, "target_ids",
       "'12345' is no target ID"},
      {"target IDs not a list", Base("target_ids = \"1A2B\"\n"), 3, "target_ids", "list"},
      {"no units", Base("units = 0\n"), 3, "units", "at least 1"},
      {"capture time-out", Base("capture_timeout = 0.01\n"), 3, "capture_timeout", "0.1"},
      {"no slot", "image = \"i.cry\"\nimage_sha256 = \"" + kHash + "\"\n", 1, "slot", "missing"},
      {"slot not a table", "image = \"i.cry\"\nimage_sha256 = \"" + kHash + "\"\nslot = \"A\"\n", 3,
       "slot", "[[slot]]"},
  };
  for (const Faulty& c : cases) {
    const auto read = ParseRecipe(c.text, "/srv/bench.toml");
    ASSERT_TRUE(std::holds_alternative<RecipeFault>(read)) << c.what;
    const RecipeFault& fault = std::get<RecipeFault>(read);
    EXPECT_EQ(fault.file, "/srv/bench.toml") << c.what;
    EXPECT_EQ(fault.line, c.line) << c.what << ": " << fault.Describe();
    EXPECT_EQ(fault.key, c.key) << c.what;
    EXPECT_THAT(fault.message, HasSubstr(c.says)) << c.what;
    EXPECT_THAT(fault.Describe(),
                ::testing::StartsWith("/srv/bench.toml:" + std::to_string(c.line)))
        << c.what;
  }
}

TEST(Recipe, AStationHasAtMostSixtyFourSlots) {
  std::string text = "image = \"i.cry\"\nimage_sha256 = \"" + kHash + "\"\n";
  for (size_t i = 0; i <= kMostSlots; ++i) {
    text +=
        "[[slot]]\nname = \"" + std::to_string(i) + "\"\nport = \"sim" + std::to_string(i) + "\"\n";
  }
  const auto read = ParseRecipe(text, "/r.toml");
  ASSERT_TRUE(std::holds_alternative<RecipeFault>(read));
  EXPECT_THAT(std::get<RecipeFault>(read).message, HasSubstr("at most 64"));
}

TEST(Recipe, AFileIsReadFromDiskAndAMissingOneSaysSo) {
  testsupport::TempDir dir;
  const auto path = dir.path() / "bench.toml";
  const std::string text = Base();
  testsupport::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
  const auto read = ReadRecipe(path.string());
  ASSERT_TRUE(std::holds_alternative<Recipe>(read)) << std::get<RecipeFault>(read).Describe();
  EXPECT_EQ(std::get<Recipe>(read).image, (dir.path() / "i.cry").string());
  const auto missing = ReadRecipe((dir.path() / "none.toml").string());
  ASSERT_TRUE(std::holds_alternative<RecipeFault>(missing));
  EXPECT_THAT(std::get<RecipeFault>(missing).Describe(), HasSubstr("none.toml"));
}

TEST(Recipe, TargetIdsAndHashesInTheirOneSpelling) {
  EXPECT_EQ(NormalTargetId("00c7"), "00C7");
  EXPECT_FALSE(NormalTargetId("0C7"));
  EXPECT_FALSE(NormalTargetId("00G7"));
  EXPECT_EQ(NormalSha256(std::string(64, 'F')), std::string(64, 'f'));
  EXPECT_FALSE(NormalSha256(std::string(63, 'f')));
}

}  // namespace
}  // namespace quarnel::station
