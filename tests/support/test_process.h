#pragma once
// Test programs that start helper programs of their own and have them interrupted.
#include <cstdint>
#include <string>

namespace testsupport {

// The path of a program built beside the running test program (".exe" is added under
// Windows).
std::string BesideThisProgram(const std::string& name);

// For a program that interrupts itself: called first in main, before any other thread
// runs, it gives the process (under Windows) a console of its own, which the events of
// InterruptThisProcess then reach alone.
void PrepareInterruption();
// Interrupts the calling process as a user would: natively with SIGINT (Interrupt) or
// SIGTERM (Terminate), under Windows with Ctrl+C or Ctrl+Break in its console. Returns
// only when that has not ended the process within 30 seconds.
enum class Interruption { Interrupt, Terminate };
void InterruptThisProcess(Interruption how);

// True when exitCode, as platform::RunProcess reports it, is that of a process the
// interruption ended: natively 128 + the signal; under Windows the code the system's
// console handler ends a process with (Wine's is 0).
bool EndedByInterruption(uint32_t exitCode, Interruption how);

}  // namespace testsupport
