// A whole programming run against the running simulator, checked byte
// for byte from the host's side of its pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "host_port.h"

namespace simtest {
namespace {

using namespace std::chrono_literals;

// The image of kBlock1 to kBlock3, zero filler included.
std::vector<uint8_t> ExpectedImage() {
  std::vector<uint8_t> image;
  for (int i = 0; i < 50; ++i) image.push_back(static_cast<uint8_t>((i * 37 + 5) % 256));
  image.resize(72, 0);
  return image;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SimEndToEnd, WholeProgrammingRunByteForByte) {
  TempDir runtime;
  Simulator sim(runtime.path(), {"--power-on-after", "300"}, Simulator::Named("bench1"));
  const auto image_out = sim.image_path();
  const auto link = runtime.path() / "quarnel" / "ports" / "bench1";
  EXPECT_EQ(sim.port(), link.string());
  ASSERT_TRUE(std::filesystem::is_symlink(link));

  HostPort host(sim.port());
  const auto first_capture = std::chrono::steady_clock::now();
  host.Send(":00010103FB\r\n");
  EXPECT_EQ(host.ReceiveFor(kSilence), "") << "the unit is still off";
  std::this_thread::sleep_until(first_capture + 500ms);

  host.Send(":00020103FA\r\n");
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000203400076\r\n");
  host.Send(":00030106F6\r\n");  // erase all
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000306400072\r\n");
  host.Send(":00040108F3\r\n");  // erase data EEPROM
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B00040840006F\r\n");
  host.Send(":00050107F3\r\n");  // erase program memory
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B00050740006F\r\n");

  // The programming run starts its numbering again.
  host.Send(kBlock1);
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000104401066\r\n");
  host.Send(kBlock2);
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000204401065\r\n");
  host.Send(kBlock3);
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000304401064\r\n");

  host.Send(":00040109F2\r\n");  // reset
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B0004090000AE\r\n");
  EXPECT_EQ(ReadFile(image_out), ExpectedImage()) << "written on reset";

  // Out of loader mode now: a block is refused.
  host.Send(kBlock1);
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B0001041000A6\r\n");

  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(link) || std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(image_out), ExpectedImage());
}

TEST(SimEndToEnd, NoiseReopenAndRecordErrors) {
  TempDir runtime;
  Simulator sim(runtime.path(), {"--id", "00C7"}, Simulator::Named("noisy"));
  {
    HostPort host(sim.port());
    // Line noise before a record and a half record cut off by a new one.
    host.Send("\x07zz\r\n:0001*0001052A");
    host.Send(":00010103FB\r\n");
    EXPECT_EQ(host.Receive(kAnswerLength), "!00C70001034000F5\r\n");
  }
  // The host closes and reopens the port: the target goes on as before.
  std::this_thread::sleep_for(50ms);
  HostPort host(sim.port());
  host.Send(":00020103FB\r\n");  // checksum off by one
  EXPECT_EQ(host.Receive(kAnswerLength), "!00C70002004040B7\r\n");
  host.Send("*0003052A4F\r\n");  // a data record of the wrong length
  EXPECT_EQ(host.Receive(kAnswerLength), "!00C70003044800EA\r\n");
  host.Send(":00040105F6\r\n");  // a command the target does not know
  EXPECT_EQ(host.Receive(kAnswerLength), "!00C70004004100F4\r\n");
  host.Send(":0005010G03\r\n");  // not hex
  EXPECT_EQ(host.Receive(kAnswerLength), "!00C70005004200F2\r\n");
  host.Send(":ZZ\r\n");  // no sequence number to echo: nothing to answer
  EXPECT_EQ(host.ReceiveFor(kSilence), "");
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimEndToEnd, SecondSimulatorUnderTheSameNameIsRefused) {
  TempDir runtime;
  Simulator first(runtime.path(), {}, Simulator::Named("twin"));
  EXPECT_THROW(Simulator(runtime.path(), {}, Simulator::Named("twin")), std::runtime_error);
  Simulator other(runtime.path(), {}, Simulator::Named("twin2"));
  HostPort a(first.port());
  HostPort b(other.port());
  a.Send(":00010103FB\r\n");
  b.Send(":00020103FA\r\n");
  EXPECT_EQ(a.Receive(kAnswerLength), "!1A2B000103400077\r\n");
  EXPECT_EQ(b.Receive(kAnswerLength), "!1A2B000203400076\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(runtime.path() / "quarnel" / "ports" / "twin"));
}

TEST(SimEndToEnd, PacedLineAndBusyTimes) {
  TempDir runtime;
  // 1200 baud: 13 characters in and 19 out take about 267 ms.
  Simulator sim(runtime.path(), {"--baud", "1200", "--erase-ms", "200", "--program-ms", "100"},
                Simulator::Named("slow"));
  HostPort host(sim.port());
  auto start = std::chrono::steady_clock::now();
  host.Send(":00010103FB\r\n");
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000103400077\r\n");
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 250ms);
  EXPECT_LT(took, 2s) << "paced, not stalled";

  start = std::chrono::steady_clock::now();
  host.Send(":00020106F7\r\n");
  EXPECT_EQ(host.Receive(kAnswerLength), "!1A2B000206400073\r\n");
  took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 450ms) << "line time plus the erase time";
  EXPECT_LT(took, 2s) << "paced, not stalled";
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimEndToEnd, HelpAndBadOptions) {
  TempDir runtime;
  const std::string sim = QUARNEL_TARGET_SIM;
  const auto help = runtime.path() / "help.txt";
  ASSERT_EQ(std::system((sim + " --help > " + help.string()).c_str()), 0);
  const auto text = ReadFile(help);
  const std::string help_text(text.begin(), text.end());
  for (const char* flag : {"--name",           "--id",
                           "--power-on-after", "--erase-ms",
                           "--program-ms",     "--baud",
                           "--image-out",      "--verbose",
                           "--drop-answer",    "--drop-data-every",
                           "--drop-command",   "--corrupt-checksum",
                           "--wrong-sequence", "--lower-case",
                           "--double-answer",  "--split-answer",
                           "--split-pause-ms", "--delay-ms",
                           "--status-bits",    "--garbage-every",
                           "--noise-bytes",    "--hang-up-after"}) {
    EXPECT_NE(help_text.find(std::string("  ") + flag), std::string::npos) << flag;
  }
  const int status = std::system((sim + " --baud fast 2>/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
}  // namespace simtest
