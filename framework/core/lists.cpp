#include "framework/core/lists.h"

#include <algorithm>
#include <string>

const TClassInfo& TList::StaticClass() {
  static const TClassInfo info{"TList", &TObject::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TFreeList::StaticClass() {
  static const TClassInfo info{"TFreeList", &TList::StaticClass(), nullptr, {}};
  return info;
}

TList::~TList() = default;

void TList::Check(int index, int count) const {
  if (index < 0 || index >= count)
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

TObject* TList::Items(int index) const {
  Check(index, Count());
  return items_[size_t(index)];
}

int TList::IndexOf(const TObject* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

int TList::Add(TObject* item) {
  items_.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, TObject* item) {
  Check(index, Count() + 1);
  items_.insert(items_.begin() + index, item);
}

void TList::Put(int index, TObject* item) {
  Check(index, Count());
  TObject* old = items_[size_t(index)];
  items_[size_t(index)] = item;
  if (old != item) Dropped(old);
}

void TList::Delete(int index) {
  Check(index, Count());
  TObject* old = items_[size_t(index)];
  items_.erase(items_.begin() + index);
  Dropped(old);
}

int TList::Remove(TObject* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

TObject* TList::Extract(TObject* item) {
  int i = IndexOf(item);
  if (i < 0) return nullptr;
  items_.erase(items_.begin() + i);
  return item;
}

void TList::Exchange(int a, int b) {
  Check(a, Count());
  Check(b, Count());
  std::swap(items_[size_t(a)], items_[size_t(b)]);
}

void TList::Move(int from, int to) {
  Check(from, Count());
  Check(to, Count());
  TObject* item = items_[size_t(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, item);
}

void TList::Clear() {
  // Items leave one at a time, last first, so a freed item may still look at the list.
  while (!items_.empty()) {
    TObject* item = items_.back();
    items_.pop_back();
    Dropped(item);
  }
}

void TList::Sort(const std::function<int(TObject*, TObject*)>& compare) {
  std::stable_sort(items_.begin(), items_.end(),
                   [&](TObject* a, TObject* b) { return compare(a, b) < 0; });
}

TFreeList::~TFreeList() { Clear(); }

void TFreeList::Dropped(TObject* item) {
  if (!item) return;
  if (auto* c = dynamic_cast<TComponent*>(item))
    c->Free();
  else
    delete item;
}
