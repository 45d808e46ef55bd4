#pragma once
// Menu shortcuts as values: a virtual key code in the low byte with the shift flags
// scShift, scCtrl and scAlt above it, and their text: "Shift+", "Ctrl+" and "Alt+"
// prefixes (any case, any order) before a key name ("A", "5", "F5", "Del", "Enter" ...).
#include <cstdint>
#include <string>

using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

// 0 for a text that names no key.
TShortCut TextToShortCut(const std::string& text);
std::string ShortCutToText(TShortCut shortCut);
