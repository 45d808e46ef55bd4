#include "shell_controls/file_dialog_rules.h"

#include <algorithm>

#include "framework/core/sysutils.h"

const std::vector<std::string>& OpenOptionNames() {
  static const std::vector<std::string> names{
      "qsofAllowMultiselect", "qsofCreatePrompt", "qsofExtensionDifferent", "qsofFileMustExist", "qsofHideReadOnly",
      "qsofNoChangeDir", "qsofNoDereferenceLinks", "qsofNoReadOnlyReturn", "qsofNoTestFileCreate", "qsofNoValidate",
      "qsofOverwritePrompt", "qsofReadOnly", "qsofPathMustExist", "qsofShareAware", "qsofShowHelp", "qsofAllowTree",
      "qsofShowTree", "qsofShowHints", "qsofHideFoldersInListWhenTreeVisible", "qsofOleDrag", "qsofOleDrop"};
  return names;
}

namespace shell {

namespace {

bool Lead(const std::string& s, size_t i) {
  const TLocale& l = Locale();
  return l.IsLeadByte && i + 1 < s.size() && l.IsLeadByte(uint8_t(s[i]));
}

// The length of the character at i (1 or 2).
size_t CharLength(const std::string& s, size_t i) { return Lead(s, i) ? 2 : 1; }

// The positions where characters start.
std::vector<size_t> CharStarts(const std::string& s) {
  std::vector<size_t> r;
  for (size_t i = 0; i < s.size(); i += CharLength(s, i)) r.push_back(i);
  return r;
}

// Where the file part starts: after the last "\" or a drive's ":".
size_t FileStart(const std::string& s) {
  size_t start = 0;
  for (size_t i : CharStarts(s))
    if (s[i] == '\\' || (s[i] == ':' && i == 1)) start = i + 1;
  return start;
}

// The components of a path between backslashes, double-byte aware; empty ones dropped.
std::vector<std::string> Components(const std::string& s) {
  std::vector<std::string> r;
  std::string cur;
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLength(s, i);
    if (n == 1 && s[i] == '\\') {
      if (!cur.empty()) r.push_back(cur);
      cur.clear();
    } else {
      cur.append(s, i, n);
    }
    i += n;
  }
  if (!cur.empty()) r.push_back(cur);
  return r;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsDrivePath(const std::string& s) { return s.size() >= 2 && IsLetter(s[0]) && s[1] == ':'; }

// The root of a folder: "X:" or "\\server\share"; "" for anything else.
std::string RootOf(const std::string& folder) {
  if (IsDrivePath(folder)) return folder.substr(0, 2);
  if (folder.size() > 2 && folder[0] == '\\' && folder[1] == '\\') {
    std::vector<std::string> c = Components(folder.substr(2));
    std::string root = "\\\\";
    if (!c.empty()) root += c[0];
    if (c.size() > 1) root += "\\" + c[1];
    return root;
  }
  return {};
}

bool OnlyDots(const std::string& c) { return !c.empty() && c.find_first_not_of('.') == std::string::npos; }

}  // namespace

TMessageKind MessageKindOf(int id) {
  if (id == kMsgReplace) return TMessageKind::WarningYesNo;
  if (id == kMsgCreate) return TMessageKind::QuestionYesNo;
  return TMessageKind::WarningOk;
}

std::vector<std::string> ScanQuotedNames(const std::string& text) {
  enum { Between, Quoted, Plain } state = Between;
  std::vector<std::string> names;
  std::string cur;
  auto end = [&] {
    if (!cur.empty()) names.push_back(cur);
    cur.clear();
  };
  for (size_t i = 0; i < text.size();) {
    size_t n = CharLength(text, i);
    char c = text[i];
    bool single = n == 1;
    switch (state) {
      case Between:
        if (single && (c == ' ' || c == '\t')) break;
        if (single && c == '"') {
          state = Quoted;
          break;
        }
        state = Plain;
        cur.append(text, i, n);
        break;
      case Quoted:
        if (single && c == '"') {
          end();
          state = Between;
        } else {
          cur.append(text, i, n);
        }
        break;
      case Plain:
        if (single && c == '"') {
          end();
          state = Quoted;
        } else {
          cur.append(text, i, n);
        }
        break;
    }
    i += n;
  }
  end();
  return names;
}

std::string FolderPartOf(const std::string& path) {
  size_t start = FileStart(path);
  if (start == 0) return {};
  if (path[start - 1] == ':') return path.substr(0, start);
  // "\x" keeps its root backslash; "C:\x" its drive's.
  if (start == 1 || (start == 3 && path[1] == ':')) return path.substr(0, start);
  return path.substr(0, start - 1);
}

std::string FilePartOf(const std::string& path) { return path.substr(FileStart(path)); }

bool HasWildcard(const std::string& s) {
  for (size_t i : CharStarts(s))
    if (CharLength(s, i) == 1 && (s[i] == '*' || s[i] == '?')) return true;
  return false;
}

int CheckTypedName(const std::string& name) {
  std::vector<size_t> starts = CharStarts(name);
  size_t fileStart = FileStart(name);
  for (size_t k = 0; k < starts.size(); ++k) {
    size_t i = starts[k];
    if (CharLength(name, i) == 2) continue;
    unsigned char c = uint8_t(name[i]);
    if (c < 32 || c == '/' || c == '<' || c == '>' || c == '|') return kMsgInvalidName;
    if (c == '\\' && k + 1 < starts.size() && name[starts[k + 1]] == '\\' && CharLength(name, starts[k + 1]) == 1 &&
        i != 0)
      return kMsgInvalidName;
    if (c == ':' && !(i == 1 && IsLetter(name[0]) && (name.size() == 2 || name[2] == '\\'))) return kMsgInvalidName;
    if ((c == '*' || c == '?') && i < fileStart) return kMsgInvalidName;
  }
  return 0;
}

std::string CombinePath(const std::string& folderIn, const std::string& name) {
  std::string folder = folderIn;
  if (folder.size() > 2 && folder.back() == '\\' && !(folder.size() >= 2 && Lead(folder, folder.size() - 2)))
    folder.pop_back();
  if (name.size() == 2 && IsDrivePath(name)) return name + "\\";
  if (IsDrivePath(name)) return name;
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') return name;
  if (!name.empty() && name[0] == '\\') {
    std::string root = RootOf(folder);
    return (root.empty() ? std::string() : root) + name;
  }
  std::string root = RootOf(folder);
  std::vector<std::string> parts = Components(folder.substr(root.size()));
  for (const std::string& c : Components(name)) {
    if (OnlyDots(c)) {
      for (size_t up = c.size() - 1; up > 0 && !parts.empty(); --up) parts.pop_back();
    } else {
      parts.push_back(c);
    }
  }
  std::string full = root;
  for (const std::string& p : parts) full += (full.empty() && root.empty() ? "" : "\\") + p;
  if (full.size() == 2 && IsDrivePath(full)) full += "\\";
  return full;
}

int CheckCombinedPath(const std::string& full) {
  if (full.size() > 259) return kMsgInvalidName;
  std::string file = FilePartOf(full);
  if (file.size() > 255) return kMsgInvalidName;
  std::string base = UpperCase(file.substr(0, file.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : devices)
    if (base == d) return kMsgDeviceName;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
      base[3] <= '9')
    return kMsgDeviceName;
  return 0;
}

TDefaultExt ApplyDefaultExt(const std::string& path, const std::string& ext,
                            const std::function<bool(const std::string&)>& registered) {
  TDefaultExt r{path, false};
  if (ext.empty()) return r;
  std::string file = FilePartOf(path);
  size_t dot = file.rfind('.');
  if (dot != std::string::npos && dot + 1 < file.size() && registered(file.substr(dot))) {
    r.ExtensionDifferent = true;
    return r;
  }
  r.Path = path + "." + ext;
  return r;
}

bool CheckFile(TFileDialogHost& host, const std::string& full, TQsOpenOptions options) {
  TFileState state = host.StateOf(full);
  if (state == TFileState::Folder) {
    host.EnterFolder(full);
    return false;
  }
  if (state == TFileState::ReadOnlyFile && (options & qsofNoReadOnlyReturn)) {
    host.Message(kMsgReadOnly, full);
    return false;
  }
  if (state != TFileState::Missing) return !(options & qsofOverwritePrompt) || host.Message(kMsgReplace, full);
  if (options & qsofFileMustExist) {
    host.Message(kMsgNotFound, full);
    return false;
  }
  std::string folder = FolderPartOf(full);
  if ((options & qsofPathMustExist) && !folder.empty() && host.StateOf(folder) != TFileState::Folder) {
    host.Message(kMsgNoPath, full);
    return false;
  }
  if (options & qsofCreatePrompt) return host.Message(kMsgCreate, FilePartOf(full));
  return true;
}

TValidation Validate(TFileDialogHost& host, const std::string& text, TQsOpenOptions& options,
                     const std::string& defaultExt, bool filledFromList) {
  TValidation r;
  std::vector<std::string> names;
  if (text.find('"') != std::string::npos)
    names = ScanQuotedNames(text);
  else
    names.push_back(text);
  std::string folder = host.ShownFolder();
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  auto refuse = [&](int id, const std::string& arg) {
    host.Message(id, arg);
    r.Files.clear();
    return r;
  };
  for (const std::string& name : names) {
    if (!(options & qsofNoValidate) && CheckTypedName(name)) return refuse(kMsgInvalidName, text);
    std::string full = CombinePath(folder, name);
    if (full.empty()) continue;
    if (int id = CheckCombinedPath(full)) return refuse(id, id == kMsgInvalidName ? text : full);
    if (host.IsShellFolder(full)) {
      host.EnterFolder(full);
      r.Files.clear();
      return r;
    }
    if (!(options & qsofNoDereferenceLinks) && SameText(ExtractFileExt(full), ".lnk")) {
      std::string target = host.ShortcutTarget(full);
      if (!target.empty()) full = target;
    }
    bool ok;
    if (names.size() == 1) {
      std::string selected = filledFromList ? host.SelectedItemPath(text) : std::string();
      if (!selected.empty()) {
        full = selected;
      } else {
        TDefaultExt d = ApplyDefaultExt(full, defaultExt, [&](const std::string& e) { return host.ExtensionRegistered(e); });
        if (!defaultExt.empty()) {
          full = d.Path;
          if (d.ExtensionDifferent)
            options |= qsofExtensionDifferent;
          else
            options &= ~qsofExtensionDifferent;
        }
        std::string part = FolderPartOf(full);
        if (!AnsiSameText(part, folder) && !AnsiSameText(IncludeTrailingBackslash(part), IncludeTrailingBackslash(folder))) {
          if (host.StateOf(part) != TFileState::Folder) return refuse(kMsgNoPath, full);
          host.MoveToFolder(part);
        }
        std::string file = FilePartOf(full);
        std::vector<std::string> matches = host.ItemsNamed(file);
        if (matches.size() > 1) {
          host.Message(kMsgAmbiguous, file);
          host.SelectItemNamed(file);
          r.Files.clear();
          return r;
        }
        if (matches.size() == 1) full = matches[0];
      }
      ok = CheckFile(host, full, options);
    } else {
      ok = CheckFile(host, full, options | qsofFileMustExist);
    }
    if (!ok) {
      r.Files.clear();
      return r;
    }
    r.Files.push_back(full);
  }
  if (r.Files.empty()) return refuse(kMsgTypeName, std::string());
  r.Ok = true;
  return r;
}

TWildcard ApplyWildcard(TFileDialogHost& host, const std::string& text) {
  TWildcard w;
  std::string file = FilePartOf(text);
  if (!HasWildcard(file)) return w;
  std::string part = FolderPartOf(text);
  if (!part.empty()) {
    std::string folder = host.ShownFolder();
    if (CheckTypedName(part)) {
      host.Message(kMsgInvalidName, text);
      w.Entered = false;
      return w;
    }
    std::string full = CombinePath(folder, part);
    if (!host.IsShellFolder(full)) {
      host.Message(kMsgNoPath, full);
      w.Entered = false;
      return w;
    }
    host.EnterFolder(full);
  }
  w.Mask = file;
  return w;
}

std::string SelectionText(const std::vector<TListEntry>& items, int focused) {
  int selected = int(std::count_if(items.begin(), items.end(), [](const TListEntry& e) { return e.Selected; }));
  if (selected == 1) {
    for (const TListEntry& e : items)
      if (e.Selected) return e.Folder ? std::string() : e.Name;
  }
  if (selected < 2) return {};
  std::string text;
  int n = int(items.size());
  int from = focused >= 0 && focused < n ? focused : 0;
  for (int k = 0; k < n; ++k) {
    const TListEntry& e = items[size_t((from + k) % n)];
    if (!e.Selected || e.Folder) continue;
    if (!text.empty()) text += ' ';
    text += '"' + e.Name + '"';
  }
  return text;
}

std::vector<TFilterEntry> SplitFilter(const std::string& filter) {
  std::vector<std::string> pieces;
  std::string cur;
  bool any = false;
  for (size_t i = 0; i < filter.size();) {
    size_t n = CharLength(filter, i);
    if (n == 1 && filter[i] == '|') {
      pieces.push_back(cur);
      cur.clear();
    } else {
      cur.append(filter, i, n);
    }
    any = true;
    i += n;
  }
  if (any) pieces.push_back(cur);
  std::vector<TFilterEntry> r;
  for (size_t i = 0; i < pieces.size(); i += 2) r.push_back({pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : ""});
  return r;
}

TFilterChoice ChooseFilter(int filterIndex, int count) {
  if (filterIndex > 0 && filterIndex <= count) return {filterIndex - 1, true};
  return {count > 0 ? 0 : -1, false};
}

void WriteDialogState(TStream& s, const TQsDialogState& st, bool fileDialog) {
  uint8_t b[14];
  auto put = [&](int at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(uint32_t(v) >> (8 * i));
  };
  put(0, st.FormWidth);
  put(4, st.FormHeight);
  b[8] = st.WindowState;
  b[9] = st.ShowTree ? 1 : 0;
  put(10, st.SplitterPos);
  s.WriteBuffer(b, fileDialog ? 14 : 9);
}

TQsDialogState ReadDialogState(TStream& s, bool fileDialog) {
  uint8_t b[14] = {};
  s.ReadBuffer(b, fileDialog ? 14 : 9);
  auto get = [&](int at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(b[at + i]) << (8 * i);
    return int32_t(v);
  };
  TQsDialogState st;
  st.FormWidth = get(0);
  st.FormHeight = get(4);
  st.WindowState = b[8];
  if (fileDialog) {
    st.ShowTree = b[9] != 0;
    st.SplitterPos = get(10);
  }
  return st;
}

}  // namespace shell
