#pragma once
// The arguments a program was started with, as UTF-8 text.
#include <string>
#include <vector>

namespace platform {

// The arguments after the program's name. Linux: argv as it stands.
// Windows: the command line as the system keeps it, in UTF-16, converted,
// since main's argv holds it in the ANSI code page, in which a file name with
// other characters cannot be written.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace platform
