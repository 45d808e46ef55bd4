// shell_run: the test driver of the shell path combo and the shell list.
//   shell_run combo [--special ID] [--up N] [PATH]
// A form with a TQsShellCombo whose locator gets PATH (SetPath; none: the Desktop) or the
// special folder ID (through its stored form). Once the entries are built it prints, one
// line each, "entry INDEX INDENT SELECTED CAPTION" per entry, "path LOCATOR-PATH" and
// "pidl HEX" ("-" for the Desktop), tab-separated; with --up N then "up", GoUpLevels(N) and
// those lines again. Exit 0; 2 for a usage error, 1 when the shell fails.
//   shell_run list [--filter MASKS] [--sort N] [--data NAMES] [--changes K] [--timeout S] FOLDER
// A form with a multi-select TQsShellList in report view on FOLDER, with FileFilter MASKS
// and sort column N (default 1). After the fill it prints a block, tab-separated:
// "columns CAPTION:WIDTH ...", "row" and the texts of every column per item in list order,
// "end COUNT". --data selects the items of the ";"-separated captions NAMES and prints the
// drag-out data object: "formats" (enumeration order, registered formats by name),
// "data FORMAT HEX" per format and "query" with the HRESULTs of QueryGetData for text in
// global memory, text in a file, format 2 and text with aspect 4. --changes K keeps dynamic
// refresh on and prints a block whenever the rows differ from the last one printed; after K
// blocks it exits 0, else after S seconds (default 30) it prints "timeout" and exits 2. A
// FOLDER the shell cannot parse: a message on standard error, exit 1.
//   shell_run open|save [--title TEXT] [--dir FOLDER] [--name TEXT] [--filter TEXT] [--index N]
//                       [--ext EXT] [--with OPTION]... [--without OPTION]... [--state FILE]
// Runs the open or save dialog once with Title, InitialDir, FileName, Filter, FilterIndex
// and DefaultExt set and the named options added to or taken from the default set; with
// --state the dialog's state is read from FILE when it exists and written there after the
// run. Prints "ok" or "cancelled", "file PATH" per chosen file, "filter-index N" and
// "options NAMES" (comma-separated, in declaration order), tab-separated. Exit 0 after ok
// or cancel, 1 when Execute raised (its message on standard error), 2 for a bad command
// line or option.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "framework/controls/register.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/core/streams.h"
#include "shell_controls/open_dialog_win32.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_list_rules.h"
#include "shell_controls/shell_list_win32.h"
#include "shell_controls/shell_startup_win32.h"

namespace {

// Runs body in a new application with the framework's and the shell controls' classes
// registered: body's exit code, or 1 with the message on standard error when it raised.
int RunInApplication(const std::function<int()>& body) {
  TShellControlsSession shell;
  auto* app = new TApplication(nullptr);
  int rc = 0;
  try {
    RegisterFrameworkClasses();
    RegisterShellControlClasses();
    Application->Initialize();
    rc = body();
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    rc = 1;
  }
  app->Free();
  return rc;
}

int Usage() {
  std::fprintf(stderr,
               "usage: shell_run combo [--special ID] [--up N] [PATH] | list [--filter MASKS] [--sort N] "
               "[--data NAMES] [--changes K] [--timeout S] FOLDER | open|save [--title TEXT] [--dir FOLDER] "
               "[--name TEXT] [--filter TEXT] [--index N] [--ext EXT] [--with OPTION]... [--without OPTION]... "
               "[--state FILE]\n");
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


int RunCombo(int argc, char** argv) {
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

  return RunInApplication([&] {
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
    return 0;
  });
}

// The texts of every row as the list shows them.
std::vector<std::string> Rows(TQsShellList& list) {
  std::vector<std::string> rows;
  int columns = list.Columns().Count();
  for (int i = 0; i < list.Items().Count(); ++i) {
    std::string row = "row";
    for (int c = 0; c < columns; ++c) {
      char buf[512] = {};
      LVITEMA it{};
      it.iSubItem = c;
      it.pszText = buf;
      it.cchTextMax = sizeof buf;
      SendMessageA(list.Handle(), LVM_GETITEMTEXTA, WPARAM(i), reinterpret_cast<LPARAM>(&it));
      row += std::string("\t") + buf;
    }
    rows.push_back(row);
  }
  return rows;
}

void PrintBlock(TQsShellList& list, const std::vector<std::string>& rows) {
  std::string columns = "columns";
  for (int c = 0; c < list.Columns().Count(); ++c)
    columns += "\t" + list.Columns().Item(c)->Caption() + ":" + IntToStr(list.Columns().Item(c)->Width());
  std::printf("%s\n", columns.c_str());
  for (const std::string& r : rows) std::printf("%s\n", r.c_str());
  std::printf("end\t%d\n", int(rows.size()));
  std::fflush(stdout);
}

std::string FormatName(CLIPFORMAT f) {
  char name[256] = {};
  if (f >= 0xC000 && GetClipboardFormatNameA(f, name, sizeof name) > 0) return name;
  return IntToStr(f);
}

void PrintData(IDataObject* data) {
  IEnumFORMATETC* raw = nullptr;
  OleCheck(data->EnumFormatEtc(DATADIR_GET, &raw));
  TComPtr<IEnumFORMATETC> formats(raw);
  std::vector<FORMATETC> all;
  FORMATETC f{};
  while (formats->Next(1, &f, nullptr) == S_OK) all.push_back(f);
  std::string line = "formats";
  for (const FORMATETC& e : all) line += "\t" + FormatName(e.cfFormat);
  std::printf("%s\n", line.c_str());
  for (FORMATETC& e : all) {
    STGMEDIUM m{};
    OleCheck(data->GetData(&e, &m));
    std::vector<uint8_t> bytes = GlobalBytes(m.hGlobal);
    ReleaseStgMedium(&m);
    std::printf("data\t%s\t%s\n", FormatName(e.cfFormat).c_str(), shell::ToHex(bytes.data(), bytes.size()).c_str());
  }
  FORMATETC queries[4] = {{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                          {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE},
                          {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                          {CF_TEXT, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL}};
  line = "query";
  for (FORMATETC& q : queries) {
    char hr[16];
    std::snprintf(hr, sizeof hr, "%08lx", static_cast<unsigned long>(uint32_t(data->QueryGetData(&q))));
    line += std::string("\t") + hr;
  }
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int RunList(int argc, char** argv) {
  std::string filter, folder, names;
  int sort = 1, changes = -1, timeout = 30;
  bool hasData = false;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--filter" && i + 1 < argc) {
      filter = argv[++i];
    } else if (a == "--sort" && i + 1 < argc) {
      if (!Number(argv[++i], -100, 100, sort) || sort == 0) return Usage();
    } else if (a == "--data" && i + 1 < argc) {
      names = argv[++i];
      hasData = true;
    } else if (a == "--changes" && i + 1 < argc) {
      if (!Number(argv[++i], 1, 1000, changes)) return Usage();
    } else if (a == "--timeout" && i + 1 < argc) {
      if (!Number(argv[++i], 1, 3600, timeout)) return Usage();
    } else if (folder.empty() && !a.empty() && a[0] != '-') {
      folder = a;
    } else {
      return Usage();
    }
  }
  if (folder.empty()) return Usage();

  return RunInApplication([&] {
    int rc = 0;
    TPidl parsed;
    HRESULT hr = PathToPidl(folder, parsed.Out());
    if (FAILED(hr)) throw EOleError(ShellErrorText(hr), int32_t(hr));
    auto* form = new TForm(Application);
    form->SetBounds(0, 0, 640, 400);
    auto* list = new TQsShellList(form);
    list->SetAlign(TAlign::alClient);
    list->SetViewStyle(TViewStyle::vsReport);
    list->SetMultiSelect(true);
    TQsShellListOptions options = list->Options();
    if (changes < 0) options &= ~qssloDynamicRefresh;
    list->SetOptions(options & ~qssloAutoFill);
    list->SetFileFilter(filter);
    list->Folder().SetIdList(parsed.Get());
    list->SetParent(form);
    form->Show();
    list->Refresh();
    list->SetSortColumn(sort);
    std::vector<std::string> rows = Rows(*list);
    PrintBlock(*list, rows);
    if (hasData) {
      std::vector<std::string> wanted;
      for (const std::string& n : shell::SplitMasks(names)) wanted.push_back(n);
      for (int i = 0; i < list->Items().Count(); ++i) {
        TListItem* item = list->Items()[i];
        std::string caption = list->GetItemData(i)->GetDisplayName();
        item->SetSelected(std::find(wanted.begin(), wanted.end(), caption) != wanted.end());
      }
      TComPtr<IDataObject> data = list->SelectionDataObject();
      PrintData(data.Get());
    }
    if (changes > 0) {
      list->SetFocus();
      DWORD deadline = GetTickCount() + DWORD(timeout) * 1000;
      int blocks = 0;
      while (blocks < changes) {
        if (int(GetTickCount() - deadline) >= 0) {
          std::printf("timeout\n");
          std::fflush(stdout);
          rc = 2;
          break;
        }
        Application->ProcessMessages();
        std::vector<std::string> now = Rows(*list);
        if (now != rows) {
          rows = now;
          PrintBlock(*list, rows);
          ++blocks;
        }
        Sleep(20);
      }
    }
    return rc;
  });
}

int OptionBit(const std::string& name) {
  const std::vector<std::string>& names = OpenOptionNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return int(i);
  return -1;
}

int RunDialog(int argc, char** argv, bool save) {
  std::string title, dir, name, filter, ext, state;
  int index = 1;
  TQsOpenOptions options = kDefaultOpenOptions;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    std::string v = argv[++i];
    if (a == "--title") {
      title = v;
    } else if (a == "--dir") {
      dir = v;
    } else if (a == "--name") {
      name = v;
    } else if (a == "--filter") {
      filter = v;
    } else if (a == "--index") {
      if (!Number(v.c_str(), -1000, 1000, index)) return Usage();
    } else if (a == "--ext") {
      ext = v;
    } else if (a == "--with" || a == "--without") {
      int bit = OptionBit(v);
      if (bit < 0) {
        std::fprintf(stderr, "shell_run: unknown option %s\n", v.c_str());
        return 2;
      }
      if (a == "--with")
        options |= 1u << bit;
      else
        options &= ~(1u << bit);
    } else if (a == "--state") {
      state = v;
    } else {
      return Usage();
    }
  }

  return RunInApplication([&] {
    TQsFileDlg* dialog = save ? static_cast<TQsFileDlg*>(new TQsSaveDlg(Application))
                              : static_cast<TQsFileDlg*>(new TQsOpenDlg(Application));
    dialog->SetName(save ? "SaveDialog" : "OpenDialog");
    dialog->SetTitle(title);
    dialog->SetInitialDir(dir);
    dialog->SetFileName(name);
    dialog->SetFilter(filter);
    dialog->SetFilterIndex(index);
    dialog->SetDefaultExt(ext);
    dialog->SetOptions(options);
    if (!state.empty() && GetFileAttributesA(state.c_str()) != INVALID_FILE_ATTRIBUTES) {
      TFileStream in(state, fmOpenRead);
      dialog->LoadState(in);
    }
    bool ok = dialog->Execute();
    std::printf("%s\n", ok ? "ok" : "cancelled");
    for (int i = 0; i < dialog->Files().Count(); ++i) std::printf("file\t%s\n", dialog->Files().Get(i).c_str());
    std::printf("filter-index\t%d\n", dialog->FilterIndex());
    std::string names;
    for (size_t i = 0; i < OpenOptionNames().size(); ++i)
      if (dialog->Options() & (1u << i)) names += (names.empty() ? "" : ",") + OpenOptionNames()[i];
    std::printf("options\t%s\n", names.c_str());
    std::fflush(stdout);
    if (!state.empty()) {
      TFileStream out(state, fmCreate);
      dialog->SaveState(out);
    }
    return 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "combo") return RunCombo(argc, argv);
  if (command == "list") return RunList(argc, argv);
  if (command == "open" || command == "save") return RunDialog(argc, argv, command == "save");
  return Usage();
}
