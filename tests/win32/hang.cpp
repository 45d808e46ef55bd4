// A program that never ends by itself, or one that exits 0 without doing anything:
// the launcher must turn both into failures.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "exit0") == 0) return 0;
  for (;;) Sleep(1000);
}
