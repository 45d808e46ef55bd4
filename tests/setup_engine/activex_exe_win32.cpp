// A local server for the installer's tests: started with /REGSERVER it writes
// "exe-registered.txt" into the current folder, which the installer sets to the server's
// own folder, and exits 0; with anything else it exits 1.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "/REGSERVER") != 0) return 1;
  std::FILE* f = std::fopen("exe-registered.txt", "w");
  if (!f) return 1;
  std::fputs("registered\n", f);
  std::fclose(f);
  return 0;
}
