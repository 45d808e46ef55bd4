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

// Columns past the right edge: the horizontal bar moves every child within the width they
// give, and the vertical position is left alone.
TEST_F(ScrollBox, TheHorizontalBarMovesColumnsWithinTheirWidth) {
  auto* form = new TForm(Application);
  Track(form);
  form->SetBounds(10, 10, 400, 200);
  auto* box = new TScrollBox(form);
  box->SetParent(form);
  box->SetBounds(0, 0, 300, 120);
  std::vector<TEdit*> columns;
  for (int i = 0; i < 4; ++i) {
    auto* e = new TEdit(form);
    e->SetParent(box);
    e->SetBounds(8 + i * 197, 8, 188, 21);
    columns.push_back(e);
  }
  form->Show();
  Pump();
  box->UpdateScrollRange();
  const int client = box->ClientWidth();
  EXPECT_EQ(box->ContentWidth(), 8 + 3 * 197 + 188);
  SendMessageA(box->Handle(), WM_HSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(box->HorzPosition(), 12);
  EXPECT_EQ(columns[0]->Left(), 8 - 12);
  SendMessageA(box->Handle(), WM_HSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(box->HorzPosition(), box->ContentWidth() - client);
  EXPECT_EQ(columns[3]->Left() + columns[3]->Width(), client);
  EXPECT_EQ(columns[3]->Top(), 8);
  EXPECT_EQ(box->VertPosition(), 0);
  // The last columns go: the view comes back into the width that is left.
  for (int i = 3; i >= 1; --i) columns[size_t(i)]->Free();
  box->UpdateScrollRange();
  EXPECT_EQ(box->HorzPosition(), 0);
  EXPECT_EQ(columns[0]->Left(), 8);
}

}  // namespace
