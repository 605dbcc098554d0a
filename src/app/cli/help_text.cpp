#include "app/cli/help_text.h"

namespace quarnel::cli {

std::string HelpText() {
  return R"(quarnel-cli - program an encrypted firmware image (.cry) into a PIC target
through its bootloader, without a display

Usage:
  quarnel-cli --port DEVICE [OPTION...] IMAGE
  quarnel-cli --port DEVICE --port DEVICE... [--station] [OPTION...] IMAGE
  quarnel-cli --ports-from FILE [--station] [OPTION...] IMAGE
  quarnel-cli --recipe FILE [--station] [--json] [--log FILE] [--units N]
              [--capture-timeout SECONDS] [--operator NAME]
  quarnel-cli --list-ports [--details [--json]]
  quarnel-cli --summarize LOG [--csv]
  quarnel-cli --version
  quarnel-cli --help

Runs the guided sequence of the Quarnel window: opens DEVICE at 115200 baud 8N1,
asks the target for its bootloader (the capture) until it answers, erases all
memory, the data EEPROM and the program memory, sends IMAGE in 24-byte blocks,
resets the target and closes the port.

Every line of the status display goes to stdout as soon as it is written, and
nothing else does. The image's size and SHA-256, messages, the request to power
the unit on and (when stderr is a terminal) a progress line with blocks,
percent, bytes per second and time left go to stderr. The image is read once,
whole: the unit gets the bytes that were checked.

Options:
  -p, --port DEVICE          the serial port: a path (/dev/ttyUSB0), a name under
                             /dev (ttyUSB0), COMn (/dev/ttyS<n-1>), an entry of
                             --list-ports, the name of a simulated target's
                             virtual port (sim0), a /dev/serial/by-path name, or
                             a USB socket (usb-path:1-1.2, see --details):
                             whatever adapter sits there when the unit starts
      --capture-timeout SECONDS
                             give up when the target has not answered the
                             capture within SECONDS, a plain number from 0.1
                             to 604800 (one week) (default: wait until it
                             answers or Ctrl-C)
      --wait-port            wait for the port's adapter to be plugged in
                             (one port; a station's slots always wait)
      --image-sha256 HEX     refuse an image whose SHA-256 is not HEX, before
                             any port opens (exit status 3)
      --target-id ID[,ID...] program only units with these target IDs (four
                             hex digits); any other is reset out of its
                             loader as it was, nothing erased (exit status 8)
      --unit-id ID           the unit's own ID (its serial number), for the
                             events and the log (one port)
      --operator NAME        who programs, for the events and the log
                             (default: the login name)
      --json                 write JSON events, one object a line, to stdout
                             instead of the status lines (see the README)
      --log FILE             append one JSON line per unit to FILE (created if
                             missing); a log that cannot be written stops the
                             run before anything is erased
  -p, --port DEVICE ...      given more than once: program every port at once,
                             each in a process of its own (64 at most)
      --ports-from FILE      the ports to program, one a line ('#' comments)
      --station              keep every port going: after each unit, wait for
                             the next one and program it, until Ctrl-C
      --units N              with --station: stop once N units were programmed
                             in all (exit status 0)
      --recipe FILE          run the station file FILE (TOML): its station
                             name, image, pinned SHA-256, allowed target IDs,
                             log, quota, capture limit and slots. Beside it,
                             --log, --units, --capture-timeout and --operator
                             override the file's values; the image, its hash,
                             the target IDs and the slots come from the file
                             alone. A fault in the file is reported with its
                             line and key (exit status 2) before any port opens
      --list-ports           print the serial ports, one a line, and exit
      --details              with --list-ports: each port's by-id and by-path
                             names, USB id, manufacturer, product, serial
                             number, location (the USB socket) and the
                             spelling that names it by that socket
                             (usb-path:LOCATION); with --json one JSON object
                             a line
      --summarize LOG        per day, image and slot: units passed and failed,
                             the yield and the median time of a programmed
                             unit, from the unit log LOG; --csv for a
                             spreadsheet. Damaged lines are named and skipped
      --version              print the version and exit
  -h, --help                 this text

Several ports (--port given again, --ports-from, --recipe) and --station: the
image is read once, at the start, and every unit gets that snapshot. On a
terminal one line per port shows its phase, percent and rate (and in station
mode the units passed and failed); otherwise each event is a line prefixed with
its port. A table of every port ends the run. A port given twice, or one that
cannot be opened, is reported for itself while the others go on. The exit
status is 0 when every unit was programmed, otherwise the highest status of a
unit. When the log cannot take a record, no new unit starts, the units under
way finish and their records are tried again (or written whole to stderr at
the end): exit status 3.

The capture waits for the unit to be powered on, as the window does: turn the
unit off, start quarnel-cli, then turn the unit on. Ctrl-C, SIGTERM, SIGHUP (the
terminal closed) and SIGQUIT close the port cleanly and end the program; press
Ctrl-C twice to quit at once.

Exit status:
  0    programmed: "Programming Complete" and the target answered the reset
  1    the sequence stopped for another reason (an answer that starts no
       further step, such as code 0 to a reset sent again after its first
       answer was damaged; a unit that changed during programming; an
       unexpected error)
  2    wrong command line, or a fault in the station file
  3    could not start: the port could not be opened, or the image is
       missing, unreadable, empty or not the pinned one (nothing is erased);
       a station: the unit log could not take a record
  4    aborted: the target reported an error while programming (it is reset
       and the port closed first)
  5    time-out: no answer to an erase command (20 s), to a data record (sent
       ten times, 2 s apart) or to the reset command (10 s)
  6    capture time-out: no answer within --capture-timeout
  7    port lost: the port's device went away (adapter unplugged)
  8    wrong target: the unit is not one of --target-id; it was reset, not
       erased
  128+N  stopped by signal N: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP,
       131 for SIGQUIT

Example:
  quarnel-cli --list-ports --details
  quarnel-cli --port /dev/ttyUSB0 --capture-timeout 60 firmware.cry > program.log
  echo "exit status $?"
  quarnel-cli --station --port /dev/ttyUSB0 --port /dev/ttyUSB1 --log units.log firmware.cry
  quarnel-cli --recipe /etc/quarnel/bench2.toml --station
  quarnel-cli --summarize /var/log/quarnel/units.log --csv > yield.csv
)";
}

}  // namespace quarnel::cli
