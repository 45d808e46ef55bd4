#include "shell_controls/idlist_cli.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "framework/core/exception.h"
#include "shell_controls/drag_data.h"
#include "shell_controls/idlist.h"
#include "shell_controls/locator_codec.h"

namespace shell {

namespace {

const char kUsage[] =
    "usage: idlist_run check FILE | item FILE I | ancestor FILE LEVELS | locator-read FILE | "
    "locator-write special ID | locator-write list FILE | cida FILE";

struct TUsageError {};
struct TRefused {
  std::string Message;
};

int Number(const std::string& s, long lo, long hi) {
  if (s.empty()) throw TUsageError{};
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end || errno || v < lo || v > hi) throw TUsageError{};
  return int(v);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw TRefused{"Cannot open file \"" + path + "\""};
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (f.bad()) throw TRefused{"Cannot read file \"" + path + "\""};
  return b;
}

// The file's one list, checked.
std::vector<uint8_t> ReadList(const std::string& path, TIdListCheck& check) {
  std::vector<uint8_t> b = ReadBytes(path);
  check = CheckIdList(b.data(), b.size());
  if (!check.Ok) throw TRefused{check.Error};
  return b;
}

std::string Hex(const uint8_t* list) { return list ? ToHex(list, ListSize(list)) : "nil"; }

int Run(const std::vector<std::string>& a, std::ostream& out) {
  if (a.empty()) throw TUsageError{};
  const std::string& cmd = a[0];
  TIdListCheck check;
  if (cmd == "check" && a.size() == 2) {
    std::vector<uint8_t> b = ReadList(a[1], check);
    out << "ok " << check.Items << ' ' << b.size() << '\n';
  } else if ((cmd == "item" || cmd == "ancestor") && a.size() == 3) {
    int n = Number(a[2], -2147483647L - 1, 2147483647L);
    std::vector<uint8_t> b = ReadList(a[1], check);
    TQsIdListArray array(b.data());
    out << Hex(cmd == "item" ? array.Items(n) : array.GetAncestor(n)) << '\n';
  } else if (cmd == "cida" && a.size() == 2) {
    std::vector<uint8_t> b = ReadBytes(a[1]);
    TCida cida = ParseCida(b.data(), b.size());
    if (!cida.Ok) throw TRefused{cida.Error};
    out << "count " << cida.Items.size() << '\n';
    out << "parent " << ToHex(b.data() + cida.Parent.Offset, cida.Parent.Size) << '\n';
    for (size_t i = 0; i < cida.Items.size(); ++i)
      out << "item " << i + 1 << ' ' << ToHex(b.data() + cida.Items[i].Offset, cida.Items[i].Size) << '\n';
  } else if (cmd == "locator-read" && a.size() == 2) {
    std::vector<uint8_t> b = ReadBytes(a[1]);
    TLocatorValue v = DecodeLocatorPidl(b.data(), b.size());
    if (v.Kind)
      out << "kind 1 id " << int(v.Id) << '\n';
    else
      out << "kind 0 items " << ListCount(v.List.data()) << " size " << v.List.size() << '\n';
  } else if (cmd == "locator-write" && a.size() == 3 && a[1] == "special") {
    std::vector<uint8_t> p = EncodeLocatorPidl(1, uint8_t(Number(a[2], 0, 255)), nullptr);
    out << ToHex(p.data(), p.size()) << '\n';
  } else if (cmd == "locator-write" && a.size() == 3 && a[1] == "list") {
    std::vector<uint8_t> b = ReadList(a[2], check);
    // A locator keeps no list for the Desktop's, so it stores nothing then.
    if (!LocatorPidlStored(0, !IsEmptyList(b.data()))) {
      out << "-\n";
    } else {
      std::vector<uint8_t> p = EncodeLocatorPidl(0, 0, b.data());
      out << ToHex(p.data(), p.size()) << '\n';
    }
  } else {
    throw TUsageError{};
  }
  return 0;
}

}  // namespace

int RunIdListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out);
  } catch (const TUsageError&) {
    err << kUsage << '\n';
    return 2;
  } catch (const TRefused& r) {
    err << r.Message << '\n';
  } catch (const Exception& e) {
    err << e.Message() << '\n';
  }
  return 1;
}

}  // namespace shell
