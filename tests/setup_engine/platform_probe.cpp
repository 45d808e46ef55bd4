// Exits with GetWindowsPlatform(), 99 when it fails: the system test starts it under the
// Windows versions Wine reports per program.
#include "setup_engine/setup_routines.h"

int main() {
  try {
    return setup::GetWindowsPlatform();
  } catch (...) {
    return 99;
  }
}
