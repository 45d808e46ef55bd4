#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/shortcut.h"

namespace {

TEST(ShortCut, TextsAndValues) {
  struct Case {
    std::string text;
    TShortCut value;
    std::string back;  // the canonical text
  };
  for (const Case& c : std::vector<Case>{{"Ctrl+A", scCtrl | 'A', "Ctrl+A"},
                                         {"ctrl+a", scCtrl | 'A', "Ctrl+A"},
                                         {"Del", 0x2E, "Del"},
                                         {"F5", 0x74, "F5"},
                                         {"F12", 0x7B, "F12"},
                                         {"Alt+Shift+F2", scShift | scAlt | 0x71, "Shift+Alt+F2"},
                                         {"Shift+Ctrl+Del", scShift | scCtrl | 0x2E, "Shift+Ctrl+Del"},
                                         {"Ctrl+5", scCtrl | '5', "Ctrl+5"},
                                         {"Enter", 0x0D, "Enter"},
                                         {"Ctrl+", 0, ""},
                                         {"Ctrl+Nothing", 0, ""},
                                         {"", 0, ""},
                                         {"F25", 0, ""}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToShortCut(c.text), c.value);
    EXPECT_EQ(ShortCutToText(c.value), c.back);
  }
}

}  // namespace
