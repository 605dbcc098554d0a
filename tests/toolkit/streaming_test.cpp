// Published-property streaming of a component definition.
#include "toolkit/streaming.h"

#include <gtest/gtest.h>

#include <string>

#include "toolkit/component.h"
#include "toolkit/exceptions.h"

namespace tk {
namespace {

// A settings sub-object with a character and a flag.
class TCharsLike : public TPersistent {
 public:
  std::string ClassName() const override { return "TCharsLike"; }
  char event_char = 0;
  bool enabled = false;
  PropertyList PublishedProperties() override {
    return {
        ValueProperty(
            "EventChar", [this] { return CharToText(event_char); },
            [this](const std::string& v) { event_char = TextToChar(v); }, "#0"),
        ValueProperty(
            "Enabled", [this] { return BoolToText(enabled); },
            [this](const std::string& v) { enabled = TextToBool(v); }, "False"),
    };
  }
};

// A component shaped like a comm port: an enumeration, a string without a
// default, a number, a sub-object and an event.
class TPortLike : public TComponent {
 public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TPortLike"; }
  std::string baud = "br19200";
  std::string device = "COM%d";
  int read_size = 4096;
  TCharsLike chars;
  TNotifyEvent on_rx;
  std::string on_rx_name;
  bool loading_seen_by_setter = false;
  int loaded_calls = 0;

  PropertyList PublishedProperties() override {
    return {
        ValueProperty(
            "Baudrate", [this] { return baud; },
            [this](const std::string& v) {
              loading_seen_by_setter = HasState(csLoading);
              baud = v;
            },
            "br19200"),
        ValueProperty(
            "DeviceName", [this] { return QuoteString(device); },
            [this](const std::string& v) { device = UnquoteString(v); }),
        ValueProperty(
            "ReadSize", [this] { return std::to_string(read_size); },
            [this](const std::string& v) { read_size = std::stoi(v); }, "4096"),
        SubObjectProperty("EventChars", &chars),
        EventProperty(
            "OnRxFlag",
            [this](const std::string& name, const MethodLookup& lookup) {
              on_rx = lookup(name);
              on_rx_name = name;
            },
            [this] { return on_rx ? on_rx_name : std::string(); }),
    };
  }
  void Loaded() override {
    ++loaded_calls;
    TComponent::Loaded();
  }
};

TEST(Streaming, WritesOnlyValuesThatDifferFromTheirDefaultAndAlwaysThoseWithout) {
  TPortLike port;
  port.SetName("VaComm");
  EXPECT_EQ(WriteComponent(port),
            "object VaComm: TPortLike\n"
            "  DeviceName = 'COM%d'\n"
            "end\n");
  port.baud = "br115200";
  port.chars.event_char = '\n';
  port.device = "it's";
  port.on_rx = [](TObject*) {};
  port.on_rx_name = "VaCommRxFlag";
  EXPECT_EQ(WriteComponent(port),
            "object VaComm: TPortLike\n"
            "  Baudrate = br115200\n"
            "  DeviceName = 'it''s'\n"
            "  EventChars.EventChar = #10\n"
            "  OnRxFlag = VaCommRxFlag\n"
            "end\n");
}

TEST(Streaming, ReadsPropertiesByNameSubObjectsAndEventsThenLoaded) {
  TPortLike port;
  int handled = 0;
  const MethodLookup lookup = [&](const std::string& name) -> TNotifyEvent {
    if (name == "VaCommRxFlag") return [&](TObject*) { ++handled; };
    return {};
  };
  ReadComponent(port,
                "object VaComm: TPortLike\n"
                "  Baudrate = br115200\n"
                "  DeviceName = 'COM'#49\n"
                "  eventchars.EventChar = #10\n"
                "  EventChars.Enabled = True\n"
                "\n"
                "  OnRxFlag = VaCommRxFlag\n"
                "end\n",
                lookup);
  EXPECT_EQ(port.Name(), "VaComm");
  EXPECT_EQ(port.baud, "br115200");
  EXPECT_TRUE(port.loading_seen_by_setter);
  EXPECT_FALSE(port.HasState(csLoading));
  EXPECT_EQ(port.loaded_calls, 1);
  EXPECT_EQ(port.device, "COM1");
  EXPECT_EQ(port.chars.event_char, '\n');
  EXPECT_TRUE(port.chars.enabled);
  EXPECT_EQ(port.read_size, 4096);  // not in the text: untouched
  ASSERT_TRUE(port.on_rx);
  port.on_rx(&port);
  EXPECT_EQ(handled, 1);
}

TEST(Streaming, WrittenTextReadsBackToTheSameValues) {
  TPortLike original;
  original.SetName("VaComm");
  original.baud = "br57600";
  original.device = std::string("a'b\tc");
  original.read_size = 128;
  original.chars.event_char = '\r';
  TPortLike copy;
  ReadComponent(copy, WriteComponent(original));
  EXPECT_EQ(copy.baud, "br57600");
  EXPECT_EQ(copy.device, original.device);
  EXPECT_EQ(copy.read_size, 128);
  EXPECT_EQ(copy.chars.event_char, '\r');
}

TEST(Streaming, RefusesUnknownPropertiesHandlersAndMalformedText) {
  const auto read = [](const std::string& text) {
    TPortLike port;
    ReadComponent(port, text, [](const std::string&) { return TNotifyEvent{}; });
    return port.loaded_calls;
  };
  EXPECT_THROW(read("object P: TPortLike\n  Speed = 5\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  EventChars.Nope = #1\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  Baudrate.X = 1\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  OnRxFlag = Missing\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  Baudrate = br1\n"), Exception);  // no end
  EXPECT_THROW(read("P: TPortLike\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  Baudrate br1\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  DeviceName = 'open\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\n  EventChars.EventChar = #300\nend\n"), Exception);
  EXPECT_THROW(read("object P: TPortLike\nend\nend\n"), Exception);
  try {
    read("object P: TPortLike\n  Baudrate = br1\n  Speed = 5\nend\n");
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Speed"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST(Streaming, FailedReadDoesNotLeaveTheComponentLoading) {
  TPortLike port;
  EXPECT_THROW(ReadComponent(port, "object P: TPortLike\n  Speed = 5\nend\n"), Exception);
  EXPECT_FALSE(port.HasState(csLoading));
  EXPECT_EQ(port.loaded_calls, 0);
}

TEST(Streaming, ValueHelpers) {
  EXPECT_EQ(QuoteString(""), "''");
  EXPECT_EQ(QuoteString("it's"), "'it''s'");
  EXPECT_EQ(QuoteString("a\nb"), "'a'#10'b'");
  EXPECT_EQ(UnquoteString("'a'#10'b'"), "a\nb");
  EXPECT_EQ(UnquoteString("''"), "");
  EXPECT_THROW(UnquoteString("abc"), Exception);
  EXPECT_THROW(UnquoteString("'abc"), Exception);
  EXPECT_EQ(CharToText('\n'), "#10");
  EXPECT_EQ(CharToText(static_cast<char>(0xFF)), "#255");
  EXPECT_EQ(TextToChar("#17"), '\x11');
  EXPECT_EQ(TextToChar("'a'"), 'a');
  EXPECT_THROW(TextToChar("'ab'"), Exception);
  EXPECT_THROW(TextToChar("#"), Exception);
  EXPECT_TRUE(TextToBool("true"));
  EXPECT_FALSE(TextToBool("False"));
  EXPECT_THROW(TextToBool("yes"), Exception);
}

}  // namespace
}  // namespace tk
