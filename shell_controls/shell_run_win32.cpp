// shell_run: the test driver of the shell path combo.
//   shell_run combo [--special ID] [--up N] [PATH]
// A form with a TQsShellCombo whose locator gets PATH (SetPath; none: the Desktop) or the
// special folder ID (through its stored form). Once the entries are built it prints, one
// line each, "entry INDEX INDENT SELECTED CAPTION" per entry, "path LOCATOR-PATH" and
// "pidl HEX" ("-" for the Desktop), tab-separated; with --up N then "up", GoUpLevels(N) and
// those lines again. Exit 0; 2 for a usage error, 1 when the shell fails.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/controls/register.h"
#include "framework/win/application.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_startup_win32.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: shell_run combo [--special ID] [--up N] [PATH]\n");
  return 2;
}

bool Number(const char* s, long lo, long hi, int& out) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (!*s || *end || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

void Print(TQsShellCombo& combo) {
  for (int i = 0; i < combo.Items().Count(); ++i) {
    TQsImageComboItem* item = combo.GetItem(i);
    std::printf("entry\t%d\t%d\t%d\t%s\n", i, item->Indent, i == combo.ItemIndex() ? 1 : 0, item->Caption.c_str());
  }
  TQsShellLocator& l = combo.GetFolder();
  std::printf("path\t%s\n", l.GetPath().c_str());
  LPCITEMIDLIST list = l.GetIdList();
  std::printf("pidl\t%s\n", list ? shell::ToHex(Bytes(list), PidlSize(list)).c_str() : "-");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != "combo") return Usage();
  int special = -1, up = -1;
  std::string path;
  bool hasPath = false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--special" && i + 1 < argc) {
      if (!Number(argv[++i], 0, 255, special)) return Usage();
    } else if (a == "--up" && i + 1 < argc) {
      if (!Number(argv[++i], 0, 1000, up)) return Usage();
    } else if (!hasPath && !a.empty() && a[0] != '-') {
      path = a;
      hasPath = true;
    } else {
      return Usage();
    }
  }
  if (special >= 0 && hasPath) return Usage();

  TShellControlsSession shell;
  auto* app = new TApplication(nullptr);
  int rc = 0;
  try {
    RegisterFrameworkClasses();
    RegisterShellControlClasses();
    Application->Initialize();
    auto* form = new TForm(Application);
    auto* combo = new TQsShellCombo(form);
    combo->SetWidth(300);
    if (special >= 0)
      combo->GetFolder().SetPidlBytes({1, uint8_t(special)});
    else if (hasPath)
      combo->GetFolder().SetPath(path);
    combo->SetParent(form);
    combo->HandleNeeded();  // builds the entries
    Print(*combo);
    if (up >= 0) {
      std::printf("up\n");
      combo->GoUpLevels(up);
      Print(*combo);
    }
    std::fflush(stdout);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    rc = 1;
  }
  app->Free();
  return rc;
}
