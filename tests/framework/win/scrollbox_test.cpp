#include <gtest/gtest.h>

#include "framework/controls/scrollbox.h"
#include "framework/controls/stdctrls.h"
#include "framework/testing/gui_test.h"

namespace {

class ScrollBox : public TGuiTest {};

int BarPosition(TScrollBox& box) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS | SIF_RANGE | SIF_PAGE;
  GetScrollInfo(box.Handle(), SB_VERT, &si);
  return si.nPos;
}

// Rows past the bottom: the bar's messages move every child, within the range the children
// give, and a resize or a shorter content pulls the view back.
TEST_F(ScrollBox, TheBarMovesTheChildrenWithinTheirRange) {
  auto* form = new TForm(Application);
  Track(form);
  form->SetBounds(10, 10, 300, 200);
  auto* box = new TScrollBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 200, 104);
  std::vector<TEdit*> rows;
  for (int i = 0; i < 10; ++i) {
    auto* e = new TEdit(form);
    e->SetParent(box);
    e->SetBounds(4, i * 25 + 8, 150, 21);
    rows.push_back(e);
  }
  form->Show();
  Pump();
  box->UpdateScrollRange();
  const int client = box->ClientHeight();
  EXPECT_EQ(box->ContentHeight(), 9 * 25 + 8 + 21);
  EXPECT_EQ(box->VertPosition(), 0);

  SendMessageA(box->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(box->VertPosition(), 12);
  EXPECT_EQ(rows[0]->Top(), 8 - 12);
  EXPECT_EQ(BarPosition(*box), 12);
  SendMessageA(box->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(box->VertPosition(), box->ContentHeight() - client);
  EXPECT_EQ(rows[9]->Top() + rows[9]->Height(), client);
  SendMessageA(box->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);  // already at the end
  EXPECT_EQ(box->VertPosition(), box->ContentHeight() - client);

  box->ScrollInView(*rows[1]);
  EXPECT_EQ(rows[1]->Top(), 0);
  box->ScrollInView(*rows[6]);
  EXPECT_EQ(rows[6]->Top() + rows[6]->Height(), client);
  SendMessageA(box->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(rows[0]->Top(), 8);

  // The last rows go: a scrolled view comes back into the range that is left.
  SendMessageA(box->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  for (int i = 9; i >= 3; --i) rows[size_t(i)]->Free();
  box->UpdateScrollRange();
  EXPECT_EQ(box->VertPosition(), 0);
  EXPECT_EQ(rows[0]->Top(), 8);
}

}  // namespace
