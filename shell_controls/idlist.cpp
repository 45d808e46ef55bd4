#include "shell_controls/idlist.h"

#include <cstdlib>
#include <cstring>

#include "framework/core/exceptions.h"
#include "framework/core/sysutils.h"

namespace shell {

namespace {

class THeapAllocator : public TIdListAllocator {
 public:
  uint8_t* Alloc(size_t bytes) override { return static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1)); }
  void Free(void* p) override { std::free(p); }
};

// The byte count of the first n items.
size_t ItemsBytes(const uint8_t* list, int n) {
  size_t at = 0;
  for (int i = 0; i < n; ++i) at += ReadCb(list + at);
  return at;
}

uint8_t* NewList(TIdListAllocator& alloc, const uint8_t* items, size_t bytes) {
  uint8_t* r = alloc.Alloc(bytes + 2);
  if (!r) return nullptr;
  if (bytes) std::memcpy(r, items, bytes);
  std::memset(r + bytes, 0, 2);
  return r;
}

}  // namespace

TIdListAllocator& HeapAllocator() {
  static THeapAllocator heap;
  return heap;
}

uint16_t ReadCb(const uint8_t* item) {
  uint16_t cb;
  std::memcpy(&cb, item, sizeof cb);
  return cb;
}

size_t ListSize(const uint8_t* list) {
  if (!list) return 0;
  size_t at = 0;
  while (uint16_t cb = ReadCb(list + at)) at += cb;
  return at + 2;
}

int ListCount(const uint8_t* list) {
  if (!list) return 0;
  int n = 0;
  for (size_t at = 0; uint16_t cb = ReadCb(list + at); at += cb) ++n;
  return n;
}

bool IsEmptyList(const uint8_t* list) { return !list || ReadCb(list) == 0; }

uint8_t* CopyList(TIdListAllocator& alloc, const uint8_t* list) {
  if (!list) return nullptr;
  return NewList(alloc, list, ListSize(list) - 2);
}

uint8_t* ConcatLists(TIdListAllocator& alloc, const uint8_t* first, const uint8_t* second) {
  size_t a = first ? ListSize(first) - 2 : 0;
  size_t b = second ? ListSize(second) - 2 : 0;
  uint8_t* r = alloc.Alloc(a + b + 2);
  if (!r) return nullptr;
  if (a) std::memcpy(r, first, a);
  if (b) std::memcpy(r + a, second, b);
  std::memset(r + a + b, 0, 2);
  return r;
}

uint8_t* LeadingItems(TIdListAllocator& alloc, const uint8_t* list, int items) {
  if (items < 0 || items > ListCount(list)) return nullptr;
  return NewList(alloc, list, list ? ItemsBytes(list, items) : 0);
}

uint8_t* ItemList(TIdListAllocator& alloc, const uint8_t* list, int index) {
  if (!list || index < 0 || index >= ListCount(list)) return nullptr;
  const uint8_t* item = list + ItemsBytes(list, index);
  return NewList(alloc, item, ReadCb(item));
}

const uint8_t* LastItem(const uint8_t* list) {
  int n = ListCount(list);
  return n ? list + ItemsBytes(list, n - 1) : nullptr;
}

TIdListCheck CheckIdList(const uint8_t* data, size_t size) {
  TIdListCheck r;
  size_t at = 0;
  for (;;) {
    if (size - at < 2) {
      r.Error = "The item-ID list has no terminator";
      return r;
    }
    uint16_t cb = ReadCb(data + at);
    if (cb == 0) break;
    if (cb < 2) {
      r.Error = "Item " + IntToStr(r.Items) + " of the item-ID list has the size " + IntToStr(cb);
      return r;
    }
    if (cb > size - at) {
      r.Error = "Item " + IntToStr(r.Items) + " of the item-ID list ends past its data";
      return r;
    }
    at += cb;
    ++r.Items;
  }
  if (at + 2 != size) {
    r.Error = "The item-ID list has bytes after its terminator";
    return r;
  }
  r.Ok = true;
  return r;
}

TQsIdListArray::TQsIdListArray(const uint8_t* list, TIdListAllocator& alloc)
    : list_(list), alloc_(alloc), count_(ListCount(list)) {}

TQsIdListArray::~TQsIdListArray() { SetResult(nullptr); }

void TQsIdListArray::SetResult(uint8_t* r) {
  if (result_) alloc_.Free(result_);
  result_ = r;
}

const uint8_t* TQsIdListArray::Items(int index) {
  SetResult(nullptr);
  if (!list_ || index < 0 || index >= count_)
    throw EListError(Format("TQsIdListArray - index %d out of range", {int64_t(index)}));
  SetResult(ItemList(alloc_, list_, index));
  return result_;
}

const uint8_t* TQsIdListArray::GetAncestor(int levels) {
  SetResult(nullptr);
  if (levels < 0 || levels > count_) return nullptr;
  SetResult(LeadingItems(alloc_, list_, count_ - levels));
  return result_;
}

std::string AppendCharIfMissing(const std::string& s, char c) {
  if (s.empty() || s.back() == c) return s;
  return s + c;
}

std::string TrimRightDbcs(const std::string& s, const TLeadByteTest& isLead) {
  size_t keep = 0;
  for (size_t i = 0; i < s.size();) {
    uint8_t b = uint8_t(s[i]);
    if (isLead && isLead(b) && i + 1 < s.size()) {
      i += 2;
      keep = i;
    } else {
      ++i;
      if (b > 32) keep = i;
    }
  }
  return s.substr(0, keep);
}

void AppendDbcsChar(int& pos, const std::string& s, std::string& target, const TLeadByteTest& isLead) {
  if (pos < 1 || size_t(pos) > s.size()) return;
  size_t i = size_t(pos) - 1;
  if (isLead && isLead(uint8_t(s[i])) && i + 1 < s.size()) {
    target.append(s, i, 2);
    pos += 2;
  } else {
    target += s[i];
    pos += 1;
  }
}

std::string ToHex(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string r;
  r.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    r += digits[data[i] >> 4];
    r += digits[data[i] & 15];
  }
  return r;
}

}  // namespace shell
