#include "patch_engine/dyn_array.h"

#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void Fatal(const char* format, long long value) {
  std::printf(format, value);
  std::fflush(stdout);
  std::exit(1);
}
}  // namespace

DynArray::DynArray(uint32_t initialCount) {
  if (initialCount != 0) SetCount(initialCount);
}

DynArray::~DynArray() { std::free(items_); }

void DynArray::SetCount(uint32_t n) {
  if (n > count_ && n > capacity_) {
    uint64_t slots = uint64_t(n) + growthStep_;
    void* block = nullptr;
    if (slots <= UINT32_MAX && slots <= SIZE_MAX / sizeof(void*))
      block = std::realloc(items_, size_t(slots) * sizeof(void*));
    if (!block) Fatal("DynArray: Kein Speicher, um auf %lld Elemente zu erweitern!\n", n);
    items_ = static_cast<void**>(block);
    capacity_ = uint32_t(slots);
  }
  count_ = n;
}

void* DynArray::Insert(void* item, uint32_t index) {
  if (index > count_) Fatal("DynArray: Illegaler Versuch nach dem Ende des Arrays einzufuegen!\n", 0);
  SetCount(count_ + 1);
  for (uint32_t i = count_ - 1; i > index; --i) items_[i] = items_[i - 1];
  items_[index] = item;
  return item;
}

void* DynArray::Add(void* item, int where) { return Insert(item, where == 1 ? 0 : count_); }

void* DynArray::RemoveAt(uint32_t index) {
  if (index >= count_) return nullptr;
  void* item = items_[index];
  for (uint32_t i = index; i + 1 < count_; ++i) items_[i] = items_[i + 1];
  --count_;
  return item;
}

void* DynArray::Remove(int where) {
  if (count_ == 0) return nullptr;
  return RemoveAt(where == 1 ? 0 : count_ - 1);
}

void* DynArray::Get(uint32_t index) const {
  if (!items_ || index >= count_) return nullptr;
  return items_[index];
}

void DynArray::Swap(uint32_t i, uint32_t j) {
  if (i >= count_ || j >= count_) return;
  void* t = items_[i];
  items_[i] = items_[j];
  items_[j] = t;
}

int32_t DynArray::IndexOf(const void* item) const {
  for (uint32_t i = 0; i < count_; ++i)
    if (items_[i] == item) return int32_t(i);
  return -1;
}

DynArray& DynArray::operator<<(void* item) {
  Add(item, 2);
  return *this;
}

DynArray& DynArray::operator>>(void*& out) {
  out = Remove(2);
  return *this;
}
