#include "setup_engine/setup_routines.h"

#include "framework/core/object.h"
#include "framework/core/seam.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "setup_engine/setup_exceptions.h"

namespace setup {

std::string AddBackslash(const std::string& s) {
  if (s.empty() || s.back() == '\\') return s;
  return s + '\\';
}

std::string RemoveBackslash(const std::string& s) {
  if (!s.empty() && s.back() == '\\') return s.substr(0, s.size() - 1);
  return s;
}

int FieldCount(const std::string& s, char separator) {
  int count = 0;
  for (char c : s)
    if (c == separator) ++count;
  if (!s.empty() && s.back() != separator) ++count;
  return count;
}

std::string GetField(const std::string& s, int n, char separator) {
  if (n < 1 || n > FieldCount(s, separator)) return {};
  size_t start = 0;
  for (int i = 1; i < n; ++i) start = s.find(separator, start) + 1;
  size_t end = s.find(separator, start);
  return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void SplitFields(const std::string& s, char separator, TStrings& list) {
  list.BeginUpdate();
  list.Clear();
  int count = FieldCount(s, separator);
  for (int i = 1; i <= count; ++i) list.Add(GetField(s, i, separator));
  list.EndUpdate();
}

std::string AfterColon(const std::string& s) {
  size_t colon = s.find(':');
  return colon == std::string::npos ? std::string() : s.substr(colon + 1);
}

std::string SafeFileName(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '/') c = '-';
    if (std::string_view("\"*:;<>?\\|").find(c) != std::string_view::npos) continue;
    out += c;
  }
  return out;
}

void ReadIniSections(const std::string& fileName, TStrings& list) {
  TStringList lines;
  lines.LoadFromFile(fileName);
  list.BeginUpdate();
  list.Clear();
  for (int i = 0; i < lines.Count(); ++i) {
    std::string line = Trim(lines[i]);
    if (line.size() > 1 && line[0] == '[') list.Add(line.substr(1, line.size() - 2));
  }
  list.EndUpdate();
}

void SetUniqueName(TComponent& component, const std::string& base) {
  TComponent* owner = component.Owner();
  std::string name = base;
  for (int n = 1;; ++n) {
    TComponent* holder = owner ? owner->FindComponent(name) : nullptr;
    if (!holder || holder == &component) break;
    name = base + IntToStr(n);
  }
  component.SetName(name);
}

namespace {

TSeam<TWindowsVersionQuery>& VersionQuery() {
  static TSeam<TWindowsVersionQuery> seam{TWindowsVersionQuery(&SystemWindowsVersion)};
  return seam;
}

}  // namespace

TWindowsVersionQuery SetWindowsVersionQuery(TWindowsVersionQuery query) {
  return VersionQuery().Set(std::move(query));
}

int GetWindowsPlatform() {
  TWindowsVersion v;
  if (!VersionQuery().Get()(v))
    throw EAPIRoutines("Could not get information about the current version of Windows");
  switch (v.PlatformId) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 2:
      // NT 3.5 and 3.51: major version 3 with a minor version whose digits begin with 5.
      return v.Major == 3 && IntToStr(v.Minor)[0] == '5' ? 3 : 2;
    default:
      return 4;
  }
}

}  // namespace setup
