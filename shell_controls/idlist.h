#pragma once
// Item-ID lists as bytes. How it works:
//
// A list is a run of items, each starting with a 16-bit count `cb` that includes the count
// itself, ended by a 16-bit zero; a nil list and a list that is only that terminator both
// name the Desktop. Counts are read with memcpy, so items may sit at any address (the shell
// writes them in the machine's order, little-endian on every machine this runs on).
//
// Lists made inside the process (by the shell or by these routines) are trusted and walked
// to their terminator. A list that comes from outside (a stream, a form, a file, another
// program's data object) is first checked by CheckIdList against the bytes it arrived in:
// every count at least 2, every item inside those bytes, and a terminator that ends exactly
// at their end; otherwise it is refused without reading past them.
//
// Memory for new lists comes from an injected allocator: the shell's IMalloc in the
// programs, the heap in the drivers and the native tests. TQsIdListArray is a read-only
// view of one absolute list as an array of its items.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/object.h"

namespace shell {

class TIdListAllocator {
 public:
  virtual ~TIdListAllocator() = default;
  // Zero-filled memory, or null when there is none.
  virtual uint8_t* Alloc(size_t bytes) = 0;
  virtual void Free(void* p) = 0;
};
// malloc and free.
TIdListAllocator& HeapAllocator();

uint16_t ReadCb(const uint8_t* item);

// Trusted lists (nil allowed).
size_t ListSize(const uint8_t* list);  // with the terminator; 0 for nil
int ListCount(const uint8_t* list);    // 0 for nil and the empty list
bool IsEmptyList(const uint8_t* list);  // nil or only the terminator
// Copies; null for a nil list or when allocation fails.
uint8_t* CopyList(TIdListAllocator& alloc, const uint8_t* list);
// The items of first then of second, one terminator (either may be nil); null when
// allocation fails.
uint8_t* ConcatLists(TIdListAllocator& alloc, const uint8_t* first, const uint8_t* second);
// A new list of the first `items` items (0 gives the empty list); null when allocation fails.
uint8_t* LeadingItems(TIdListAllocator& alloc, const uint8_t* list, int items);
// The item at index (a one-item list); null when index is out of range.
uint8_t* ItemList(TIdListAllocator& alloc, const uint8_t* list, int index);
// The last item of a list with items, in place; null for nil or the empty list.
const uint8_t* LastItem(const uint8_t* list);

// What a list from outside holds.
struct TIdListCheck {
  bool Ok = false;
  int Items = 0;
  std::string Error;  // why it was refused
};
TIdListCheck CheckIdList(const uint8_t* data, size_t size);

// Unowned view of a list; every Items or GetAncestor result is owned by the view and
// freed by the next call or by the view.
class TQsIdListArray : public TObject {
 public:
  explicit TQsIdListArray(const uint8_t* list, TIdListAllocator& alloc = HeapAllocator());
  ~TQsIdListArray() override;
  int Count() const { return count_; }
  // EListError "TQsIdListArray - index %d out of range" for a bad index or a nil list.
  const uint8_t* Items(int index);
  // The first Count - levels items; nil for negative levels or levels above Count.
  const uint8_t* GetAncestor(int levels);
  const uint8_t* List() const { return list_; }

 private:
  void SetResult(uint8_t* r);
  const uint8_t* list_;
  TIdListAllocator& alloc_;
  int count_;
  uint8_t* result_ = nullptr;
};

using TLeadByteTest = std::function<bool(uint8_t)>;

// s with c appended unless s is empty or already ends in c.
std::string AppendCharIfMissing(const std::string& s, char c);
// s without its trailing characters of code 32 and below; a double-byte character is kept
// whole, whatever its trail byte.
std::string TrimRightDbcs(const std::string& s, const TLeadByteTest& isLead);
// Appends the character at the 1-based pos of s to target and advances pos past it: two
// bytes for a lead byte with its trail, one otherwise (also for a lead byte that ends s).
// A pos outside s appends nothing.
void AppendDbcsChar(int& pos, const std::string& s, std::string& target, const TLeadByteTest& isLead);

std::string ToHex(const uint8_t* data, size_t size);

}  // namespace shell
