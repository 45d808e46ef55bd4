// Holds files the way a run does and then interrupts itself, for the interruption test:
//   interrupted_child DIR int|term
// In DIR it makes a temporary file and keeps it open for writing, moves DIR/earlier.txt
// aside and writes a new DIR/earlier.txt in its place, while a second thread keeps making
// and removing temporary files. Exits 3 when the interruption did not end it, 2 when the
// command line or a file operation failed.
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/interrupt.h"
#include "tests/support/test_process.h"

int main(int argc, char** argv) {
  testsupport::PrepareInterruption();
  if (argc != 3 || (std::strcmp(argv[2], "int") != 0 && std::strcmp(argv[2], "term") != 0)) return 2;
  const std::string dir = argv[1];
  const std::string earlier = platform::JoinPath(dir, "earlier.txt");
  std::string held, aside;
  platform::File heldFile, replacement;
  if (!platform::CreateTemporaryFile(dir, "gp", held) || !heldFile.Open(held, platform::OpenMode::Write) ||
      heldFile.Write("held", 4) != 4 || !heldFile.Flush())
    return 2;
  if (!platform::CreateTemporaryFile(dir, "gp", aside) || !platform::MoveAside(earlier, aside) ||
      !replacement.Open(earlier, platform::OpenMode::Write) || replacement.Write("new", 3) != 3 ||
      !replacement.Close())
    return 2;
  std::atomic<bool> churning{false};
  std::thread churn([&] {
    for (;;) {
      std::string name;
      if (platform::CreateTemporaryFile(dir, "gp", name)) platform::RemoveFile(name);
      churning = true;
    }
  });
  churn.detach();
  while (!churning) std::this_thread::yield();
  testsupport::InterruptThisProcess(std::strcmp(argv[2], "int") == 0 ? testsupport::Interruption::Interrupt
                                                                      : testsupport::Interruption::Terminate);
  return 3;
}
