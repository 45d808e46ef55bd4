#include "framework/core/color.h"

#include <utility>

#include "framework/core/seam.h"

namespace {

uint32_t ClassicScheme(int index) {
  static const uint32_t scheme[] = {
      0xC8C8C8, 0x000000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000,
      0x000000, 0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0,
      0x808080, 0x808080, 0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xC0C0C0, 0x000000,
      0xE1FFFF};
  if (index < 0 || index >= int(sizeof scheme / sizeof scheme[0])) return 0;
  return scheme[index];
}

TSeam<TSysColorLookup>& Lookup() {
  static TSeam<TSysColorLookup> lookup{ClassicScheme};
  return lookup;
}

}  // namespace

TSysColorLookup SetSysColorLookup(TSysColorLookup lookup) { return Lookup().Set(std::move(lookup)); }

uint32_t ColorToRGB(TColor color) {
  if (uint32_t(color) & 0x80000000u) return Lookup().Get()(int(color & 0xFF)) & 0xFFFFFF;
  return uint32_t(color) & 0xFFFFFF;
}

const TTypeInfo& ColorTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo t;
    t.Hex = true;
    t.Idents = {{"clBlack", clBlack},
                {"clMaroon", clMaroon},
                {"clGreen", clGreen},
                {"clOlive", clOlive},
                {"clNavy", clNavy},
                {"clPurple", clPurple},
                {"clTeal", clTeal},
                {"clGray", clGray},
                {"clSilver", clSilver},
                {"clRed", clRed},
                {"clLime", clLime},
                {"clYellow", clYellow},
                {"clBlue", clBlue},
                {"clFuchsia", clFuchsia},
                {"clAqua", clAqua},
                {"clWhite", clWhite},
                {"clNone", clNone},
                {"clScrollBar", clScrollBar},
                {"clBackground", clBackground},
                {"clActiveCaption", clActiveCaption},
                {"clInactiveCaption", clInactiveCaption},
                {"clMenu", clMenu},
                {"clWindow", clWindow},
                {"clWindowFrame", clWindowFrame},
                {"clMenuText", clMenuText},
                {"clWindowText", clWindowText},
                {"clCaptionText", clCaptionText},
                {"clActiveBorder", clActiveBorder},
                {"clInactiveBorder", clInactiveBorder},
                {"clAppWorkSpace", clAppWorkSpace},
                {"clHighlight", clHighlight},
                {"clHighlightText", clHighlightText},
                {"clBtnFace", clBtnFace},
                {"clBtnShadow", clBtnShadow},
                {"clGrayText", clGrayText},
                {"clBtnText", clBtnText},
                {"clInactiveCaptionText", clInactiveCaptionText},
                {"clBtnHighlight", clBtnHighlight},
                {"cl3DDkShadow", cl3DDkShadow},
                {"cl3DLight", cl3DLight},
                {"clInfoText", clInfoText},
                {"clInfoBk", clInfoBk}};
    return t;
  }();
  return info;
}
