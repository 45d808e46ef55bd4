#pragma once
// Starting an external program and waiting for its end. The command line is one string
// in the Windows form: arguments separated by blanks, double quotes around an argument
// that holds blanks. process_win32.cpp hands it to the system as it is; process_posix.cpp
// splits it by the same rules and starts the program found along PATH.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Starts commandLine (with a hidden window unless show is set), waits without a time limit
// until the program ends and stores its exit code. False when it could not be started.
bool RunProcess(const std::string& commandLine, bool show, uint32_t& exitCode);

// The arguments of a Windows command line: blanks and tabs separate them outside double
// quotes; a double quote starts or ends a quoted part and is dropped; 2n backslashes
// before a double quote give n backslashes, 2n+1 give n and a literal quote; other
// backslashes stay as they are.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The argument in double quotes, written so that SplitCommandLine (and the programs that
// split their command line by the same rules) reads it back as exactly this one argument:
// a double quote inside becomes \", and backslashes before a double quote or before the
// closing quote are doubled.
std::string QuoteArgument(const std::string& argument);

}  // namespace platform
