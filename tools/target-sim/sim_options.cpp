#include "sim_options.h"

#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "hex_text.h"

namespace targetsim {
namespace {

std::optional<uint32_t> ReadNumber(std::string_view text, int base = 10) {
  uint32_t value = 0;
  if (text.empty()) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

using Setter = std::function<std::optional<std::string>(SimOptions&, std::string_view)>;

// A setter for a number; `positive` rejects 0 where 0 would mean nothing.
Setter Number(uint32_t SimOptions::*field, bool positive = false) {
  return [field, positive](SimOptions& o, std::string_view v) -> std::optional<std::string> {
    const auto n = ReadNumber(v);
    if (!n || (positive && *n == 0))
      return std::string(positive ? "a number of 1 or more" : "a number");
    o.*field = *n;
    return std::nullopt;
  };
}

Setter FaultNumber(uint32_t FaultOptions::*field, bool positive = true) {
  return [field, positive](SimOptions& o, std::string_view v) -> std::optional<std::string> {
    const auto n = ReadNumber(v);
    if (!n || (positive && *n == 0))
      return std::string(positive ? "a number of 1 or more" : "a number");
    o.faults.*field = *n;
    return std::nullopt;
  };
}

const std::map<std::string, Setter, std::less<>>& Setters() {
  static const std::map<std::string, Setter, std::less<>> setters = {
      {"--name",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         if (v.empty() || v.find('/') != v.npos || v == "." || v == "..")
           return "a plain name without '/'";
         o.name = v;
         return std::nullopt;
       }},
      {"--id",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const auto id = ReadHexWord(v);
         if (!id) return "four hex digits, e.g. 1A2B";
         o.target_id = *id;
         return std::nullopt;
       }},
      {"--power-on-after", Number(&SimOptions::power_on_after_ms)},
      {"--next-unit-after", Number(&SimOptions::next_unit_after_ms)},
      {"--units", Number(&SimOptions::units)},
      {"--erase-ms",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const auto n = ReadNumber(v);
         if (!n) return "a number";
         o.times.erase_ms = *n;
         return std::nullopt;
       }},
      {"--program-ms",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const auto n = ReadNumber(v);
         if (!n) return "a number";
         o.times.program_ms = *n;
         return std::nullopt;
       }},
      {"--baud", Number(&SimOptions::baud)},
      {"--image-out",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         if (v.empty()) return "a file name";
         o.image_out = v;
         return std::nullopt;
       }},
      {"--drop-answer", FaultNumber(&FaultOptions::drop_answer)},
      {"--drop-data-every", FaultNumber(&FaultOptions::drop_data_every)},
      {"--drop-command",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const char* what = "command codes from 3, 6, 7, 8, 9, separated by commas";
         while (true) {
           const auto comma = v.find(',');
           const auto code = ReadNumber(v.substr(0, comma));
           if (!code || (*code != 3 && (*code < 6 || *code > 9))) return what;
           o.faults.drop_commands.insert(static_cast<uint8_t>(*code));
           if (comma == v.npos) return std::nullopt;
           v.remove_prefix(comma + 1);
         }
       }},
      {"--drop-block",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const char* what = "BLOCK or BLOCK:TIMES, block from 1, times 1 or more, e.g. 20:3";
         const auto colon = v.find(':');
         const auto block = ReadNumber(v.substr(0, colon));
         std::optional<uint32_t> times = 0;
         if (colon != v.npos) times = ReadNumber(v.substr(colon + 1));
         if (!block || *block == 0 || !times || (colon != v.npos && *times == 0)) return what;
         o.faults.drop_block[*block] = *times;
         return std::nullopt;
       }},
      {"--corrupt-checksum", FaultNumber(&FaultOptions::corrupt_checksum)},
      {"--wrong-sequence", FaultNumber(&FaultOptions::wrong_sequence)},
      {"--lower-case", FaultNumber(&FaultOptions::lower_case_from)},
      {"--double-answer", FaultNumber(&FaultOptions::double_answer)},
      {"--split-answer", FaultNumber(&FaultOptions::split_answer)},
      {"--split-pause-ms", FaultNumber(&FaultOptions::split_pause_ms, false)},
      {"--delay-ms", FaultNumber(&FaultOptions::delay_ms, false)},
      {"--status-bits",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const char* what = "BLOCK:BITS, block from 1, bits in hex, e.g. 2:0040";
         const auto colon = v.find(':');
         if (colon == v.npos) return what;
         const auto block = ReadNumber(v.substr(0, colon));
         const auto bits = ReadNumber(v.substr(colon + 1), 16);
         if (!block || *block == 0 || !bits || *bits > 0xFFFF || *bits == 0) return what;
         o.faults.block_status_bits[*block] |= static_cast<uint16_t>(*bits);
         return std::nullopt;
       }},
      {"--garbage-every", FaultNumber(&FaultOptions::garbage_every)},
      {"--noise-bytes", FaultNumber(&FaultOptions::noise_bytes)},
      {"--id-after",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const std::string what = "K:HEX, a block number and four hex digits, e.g. 5:00C7";
         const auto colon = v.find(':');
         if (colon == v.npos) return what;
         const auto block = ReadNumber(v.substr(0, colon));
         const auto id = ReadHexWord(v.substr(colon + 1));
         if (!block || *block == 0 || !id) return what;
         o.faults.change_id_after_block = *block;
         o.faults.changed_id = *id;
         return std::nullopt;
       }},
      {"--hang-up-after",
       [](SimOptions& o, std::string_view v) -> std::optional<std::string> {
         const auto n = ReadNumber(v);
         if (!n || *n == 0) return "a block number of 1 or more";
         o.faults.hang_up_after_block = *n;
         return std::nullopt;
       }},
  };
  return setters;
}

}  // namespace

std::variant<SimOptions, ShowHelp, ShowVersion, OptionError> ParseOptions(
    const std::vector<std::string>& args) {
  SimOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") return ShowHelp{};
    if (arg == "--version") return ShowVersion{};
    if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
      continue;
    }
    std::string_view flag = arg;
    std::optional<std::string_view> value;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
      flag = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    const auto setter = Setters().find(flag);
    if (setter == Setters().end()) {
      return OptionError{"unknown option '" + std::string(arg) + "' (see --help)"};
    }
    if (!value) {
      if (i + 1 >= args.size())
        return OptionError{std::string(flag) + " needs a value (see --help)"};
      value = args[++i];
    }
    if (auto problem = setter->second(options, *value)) {
      return OptionError{std::string(flag) + " '" + std::string(*value) + "': expected " +
                         *problem};
    }
  }
  return options;
}

std::string HelpText() {
  return R"(quarnel-target-sim - a simulated target bootloader on a pseudo-terminal

Usage: quarnel-target-sim [OPTION...]

Publishes a pseudo-terminal in the virtual-port directory
($XDG_RUNTIME_DIR/quarnel/ports, else /tmp/quarnel-<uid>/ports), prints its
path, and answers the host's records like a target in its bootloader. Ends on
SIGINT or SIGTERM and removes the entry. Options take their value as the next
argument or after '=' (--name=sim1).

Target:
  --name NAME            entry name in the virtual-port directory (default sim0)
                           e.g. --name bench2
  --id HEX               target ID in every answer, four hex digits (default 1A2B)
                           e.g. --id 00C7
  --power-on-after MS    the unit is off (answers nothing) until MS ms after the
                           host's first byte; 0 = on from the start (default 0)
                           e.g. --power-on-after 3000
  --next-unit-after MS   after answering a reset the unit is off (answers
                           nothing), and the next unit is powered on MS ms
                           later, as on a production station; 0 = the same
                           unit stays on (default 0)   e.g. --next-unit-after 500
  --units N              with --next-unit-after: N units come in all, then
                           none; 0 = no end (default 0)   e.g. --units 2
  --erase-ms MS          time an erase takes before its answer (default 0)
                           e.g. --erase-ms 1500
  --program-ms MS        time programming one block takes (default 0)
                           e.g. --program-ms 8
  --baud N               pace of the line: each character takes 10 bit times
                           both ways; 0 = as fast as possible (default 0)
                           e.g. --baud 115200
  --image-out FILE       write the received blocks (24 bytes each, in order)
                           to FILE on every reset and when the simulator ends
                           e.g. --image-out received.bin
  --verbose, -v          log every record received and every answer sent,
                           with time stamps, to stderr
  --help, -h             this text
  --version              print the version and exit

Faults (records are counted from 1 in the order they are answered; a
retransmitted block counts again; blocks are counted by their place in the
image). All can be combined:
  --drop-answer N        send no answer to record N       e.g. --drop-answer 2
  --drop-data-every N    send no answer to every Nth data record
                           e.g. --drop-data-every 3
  --drop-command CODES   send no answer to these commands (3 capture, 6 erase
                           all, 7 erase program, 8 erase EEPROM, 9 reset); the
                           target still carries them out
                           e.g. --drop-command 6,7,8,9
  --drop-block K[:TIMES] send no answer to the first TIMES sendings of block K
                           (every sending without TIMES); the target still
                           keeps the block       e.g. --drop-block 20:3
  --corrupt-checksum N   wrong checksum in the answer to record N
                           e.g. --corrupt-checksum 4
  --wrong-sequence N     answer record N with its sequence number plus one
                           e.g. --wrong-sequence 2
  --lower-case N         lower-case hex in the answers from record N on
                           e.g. --lower-case 1
  --double-answer N      hold the answer to record N back and send it in one
                           write with the next answer   e.g. --double-answer 1
  --split-answer N       send the answer to record N in two writes
                           e.g. --split-answer 3
  --split-pause-ms MS    pause between the two halves (default 50)
                           e.g. --split-pause-ms 200
  --delay-ms MS          delay every answer by MS ms    e.g. --delay-ms 700
  --status-bits K:BITS   add status bits (hex) to the acknowledgement of block
                           K; may be given more than once
                           e.g. --status-bits 2:0840
  --garbage-every N      send a garbage line before the answer to every Nth
                           record                        e.g. --garbage-every 5
  --noise-bytes N        send N bytes of line noise without a line feed (a line
                           at the wrong speed) before the first answer
                           e.g. --noise-bytes 10240
  --hang-up-after K      close the port after acknowledging block K, as an
                           unplugged adapter does, and end
                           e.g. --hang-up-after 3
  --id-after K:HEX       from the acknowledgement of block K on, answer with
                           target ID HEX, as a unit swapped while it is
                           programmed would      e.g. --id-after 5:00C7

Example:
  quarnel-target-sim --name bench --baud 115200 --erase-ms 1500 --program-ms 8 \
      --power-on-after 2000 --image-out /tmp/bench.bin --verbose
)";
}

}  // namespace targetsim
