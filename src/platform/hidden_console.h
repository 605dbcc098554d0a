#pragma once
// A window program that starts console programs (the station's children)
// gives them one console of its own that is never shown: no console window
// opens per child, and a stop request reaches each child as Ctrl-Break does,
// which only a shared console carries. Nothing to do where there are no
// consoles (Linux) or where the program has one already.
namespace platform {

void ShareHiddenConsoleWithChildren();

}  // namespace platform
