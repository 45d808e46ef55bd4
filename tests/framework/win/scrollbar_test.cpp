#include <gtest/gtest.h>

#include "framework/controls/scrollbar.h"
#include "framework/testing/gui_test.h"

namespace {

class ScrollBar : public TGuiTest {};

SCROLLINFO InfoOf(HWND h) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  GetScrollInfo(h, SB_CTL, &si);
  return si;
}

// The bar shows its 32-bit range and page; the parent's scroll messages come back as
// OnScroll with the code and the position the bar would take, which the handler may
// change; code that sets the position raises nothing.
TEST_F(ScrollBar, RangesPagesAndScrollEvents) {
  auto* form = new TForm(Application);
  Track(form);
  form->SetBounds(40, 40, 200, 240);
  auto* bar = new TScrollBar(form);
  bar->SetKind(TScrollBarKind::sbVertical);
  bar->SetParent(form);
  bar->SetBounds(170, 0, 16, 200);
  EXPECT_FALSE(bar->TabStop());
  bar->SetSmallChange(16);
  bar->SetLargeChange(100);
  bar->SetPageSize(200);
  bar->SetParams(0, 0, 3000000);
  std::vector<std::pair<TScrollCode, int>> events;
  bar->OnScroll = TScrollEvent([&](TObject*, TScrollCode code, int& pos) {
    events.push_back({code, pos});
    if (code == TScrollCode::scPageDown) pos = 1234567;  // the handler decides
  });
  form->Show();
  Pump();
  EXPECT_TRUE(GetWindowLongA(bar->Handle(), GWL_STYLE) & SBS_VERT);
  SCROLLINFO si = InfoOf(bar->Handle());
  EXPECT_EQ(si.nMax, 3000000);
  EXPECT_EQ(si.nPage, 200u);

  SendMessageA(form->Handle(), WM_VSCROLL, SB_LINEDOWN, LPARAM(bar->Handle()));
  SendMessageA(form->Handle(), WM_VSCROLL, SB_PAGEDOWN, LPARAM(bar->Handle()));
  SendMessageA(form->Handle(), WM_VSCROLL, SB_LINEUP, LPARAM(bar->Handle()));
  SendMessageA(form->Handle(), WM_VSCROLL, SB_BOTTOM, LPARAM(bar->Handle()));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].first, TScrollCode::scLineDown);
  EXPECT_EQ(events[0].second, 16);
  EXPECT_EQ(events[1].first, TScrollCode::scPageDown);
  EXPECT_EQ(events[1].second, 116);
  EXPECT_EQ(events[2].second, 1234567 - 16);
  EXPECT_EQ(events[3].first, TScrollCode::scBottom);
  EXPECT_EQ(bar->Position(), 3000000 - 199);  // the last page
  EXPECT_EQ(InfoOf(bar->Handle()).nPos, 3000000 - 199);

  events.clear();
  bar->SetPosition(-5);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_TRUE(events.empty());
}

}  // namespace
