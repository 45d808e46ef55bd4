#pragma once
// The further source columns of the main window's pages, without windows.
//
// How it works: each page keeps its extra source columns' controls in lists (one per kind
// of control), always in Tag order, so the versions chain in column order. The first
// source column has Tag 1; ticking the activate box of column k makes a column with Tag
// k + 1 and moves every column from k + 1 on up by one; unticking it removes column k + 1
// and moves the higher ones down, so the Tags stay 1, 2, ... The layout numbers say where
// column k's controls go on each page.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "builder/patch_request.h"

// The most source columns a page holds: a request's limit.
inline constexpr int kMaxSourceColumns = kMaxVersions - 1;

// The number of source columns a stored "Restore Directory number" brings back: at most
// the limit, none for a negative value.
inline int RestoredSourceCount(int stored) { return std::clamp(stored, 0, kMaxSourceColumns); }

// Makes room in a Tag-ordered list for the column that follows column k (Tags from k + 1
// on move up by one) and inserts column there with Tag k + 1. C has Tag() and SetTag().
template <class C>
void InsertSourceColumn(std::vector<C*>& list, int k, C* column) {
  for (C* c : list)
    if (c->Tag() >= k + 1) c->SetTag(c->Tag() + 1);
  column->SetTag(k + 1);
  auto at = std::find_if(list.begin(), list.end(), [&](C* c) { return c->Tag() > k + 1; });
  list.insert(at, column);
}

// Takes the column with Tag k + 1 out of a Tag-ordered list (the higher Tags move down by
// one) and returns it for the caller to free; none when there is no such column.
template <class C>
C* RemoveSourceColumn(std::vector<C*>& list, int k) {
  auto at = std::find_if(list.begin(), list.end(), [&](C* c) { return c->Tag() == k + 1; });
  if (at == list.end()) return nullptr;
  C* removed = *at;
  list.erase(at);
  for (C* c : list)
    if (c->Tag() > k + 1) c->SetTag(c->Tag() - 1);
  return removed;
}

// Where one column's controls go.
struct TColumnPlace {
  int Left = 0;        // of its combo and list
  int ListWidth = 0;
  int ComboWidth = 0;
  int CheckWidth = 0;  // the activate box: up to the next column, so that its caption fits
  int ListHeight = 0;  // Expert only
  int CheckTop = 0;    // Expert only: the activate box, in the list's parent
  bool Ticked = false; // the activate box: another source column follows
  int ComboTab = 0, ListTab = 0, CheckTab = 0;
};

// Column tag (1 .. sources) of the Expert page, or the target with tag sources + 1, for a
// page of this many source columns whose first column sits at firstLeft in a scroll box
// of this height.
TColumnPlace ExpertColumnPlace(int tag, int sources, int firstLeft, int scrollHeight);
// Column tag of the Wizard page (its steps show one source column each).
TColumnPlace WizardColumnPlace(int tag, int firstLeft);
