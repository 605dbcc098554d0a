#pragma once
// How a stop request that does not come from the console (the end of a
// supervisor) reaches the program: as the console's requests do, through
// every StopSignalWatcher that exists.

namespace platform {

// Hands `signal_number` to every watcher; false when there is none.
bool PostStopRequest(int signal_number);

}  // namespace platform
