#include "framework/core/shortcut.h"

#include <cstring>

#include "framework/core/sysutils.h"

namespace {

struct TKeyName {
  uint8_t Key;
  const char* Name;
};
// Virtual key codes of the named keys.
const TKeyName kKeyNames[] = {
    {0x08, "BkSp"}, {0x09, "Tab"},  {0x0D, "Enter"}, {0x1B, "Esc"},  {0x20, "Space"}, {0x21, "PgUp"},
    {0x22, "PgDn"}, {0x23, "End"},  {0x24, "Home"},  {0x25, "Left"}, {0x26, "Up"},    {0x27, "Right"},
    {0x28, "Down"}, {0x2D, "Ins"},  {0x2E, "Del"},
};

std::string KeyName(uint8_t key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
  if (key >= 0x70 && key <= 0x87) return "F" + IntToStr(key - 0x6F);
  for (const TKeyName& k : kKeyNames)
    if (k.Key == key) return k.Name;
  return {};
}

}  // namespace

TShortCut TextToShortCut(const std::string& text) {
  TShortCut shift = 0;
  std::string rest = text;
  for (;;) {
    struct Prefix {
      const char* Text;
      TShortCut Flag;
    };
    bool found = false;
    for (Prefix p : {Prefix{"Shift+", scShift}, Prefix{"Ctrl+", scCtrl}, Prefix{"Alt+", scAlt}}) {
      size_t n = std::strlen(p.Text);
      if (rest.size() > n && AnsiSameText(rest.substr(0, n), p.Text)) {
        shift |= p.Flag;
        rest.erase(0, n);
        found = true;
      }
    }
    if (!found) break;
  }
  if (rest.empty()) return 0;
  for (int key = 1; key < 256; ++key) {
    std::string name = KeyName(uint8_t(key));
    if (!name.empty() && AnsiSameText(name, rest)) return TShortCut(shift | key);
  }
  return 0;
}

std::string ShortCutToText(TShortCut shortCut) {
  std::string name = KeyName(uint8_t(shortCut & 0xFF));
  if (name.empty()) return {};
  std::string s;
  if (shortCut & scShift) s += "Shift+";
  if (shortCut & scCtrl) s += "Ctrl+";
  if (shortCut & scAlt) s += "Alt+";
  return s + name;
}
