#pragma once
// Colours as the forms store them: 0x00BBGGRR for plain RGB, 0x80000000 | index for a
// system colour (looked up through a replaceable function, so this stays portable),
// 0x02BBGGRR palette-relative (handed to GDI as it is) and clNone. The identifier map
// lets form text name colours (clBtnFace, clRed, ...).
#include <cstdint>
#include <functional>

#include "framework/core/published.h"

using TColor = int32_t;

constexpr TColor SysColor(int index) { return TColor(0x80000000u | uint32_t(index)); }

// System colour indexes as the Win32 API numbers them.
constexpr TColor clScrollBar = SysColor(0);
constexpr TColor clBackground = SysColor(1);
constexpr TColor clActiveCaption = SysColor(2);
constexpr TColor clInactiveCaption = SysColor(3);
constexpr TColor clMenu = SysColor(4);
constexpr TColor clWindow = SysColor(5);
constexpr TColor clWindowFrame = SysColor(6);
constexpr TColor clMenuText = SysColor(7);
constexpr TColor clWindowText = SysColor(8);
constexpr TColor clCaptionText = SysColor(9);
constexpr TColor clActiveBorder = SysColor(10);
constexpr TColor clInactiveBorder = SysColor(11);
constexpr TColor clAppWorkSpace = SysColor(12);
constexpr TColor clHighlight = SysColor(13);
constexpr TColor clHighlightText = SysColor(14);
constexpr TColor clBtnFace = SysColor(15);
constexpr TColor clBtnShadow = SysColor(16);
constexpr TColor clGrayText = SysColor(17);
constexpr TColor clBtnText = SysColor(18);
constexpr TColor clInactiveCaptionText = SysColor(19);
constexpr TColor clBtnHighlight = SysColor(20);
constexpr TColor cl3DDkShadow = SysColor(21);
constexpr TColor cl3DLight = SysColor(22);
constexpr TColor clInfoText = SysColor(23);
constexpr TColor clInfoBk = SysColor(24);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;

// Returns the RGB of a system colour index; the Windows layer installs GetSysColor. The
// default knows the classic scheme, enough for portable code and tests.
using TSysColorLookup = std::function<uint32_t(int index)>;
TSysColorLookup SetSysColorLookup(TSysColorLookup lookup);

// Any value with the top bit set is a system colour in its low byte; other values lose
// their palette flag.
uint32_t ColorToRGB(TColor color);

// The identifier map of colour properties in form text (written in hexadecimal otherwise).
const TTypeInfo& ColorTypeInfo();
