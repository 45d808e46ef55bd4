#pragma once
// The system's growable array of untyped item pointers. It does not own its items. Its
// fatal errors print a message to standard output and end the process with exit code 1.
#include <cstdint>

class DynArray {
 public:
  explicit DynArray(uint32_t initialCount = 0);
  ~DynArray();
  DynArray(const DynArray&) = delete;
  DynArray& operator=(const DynArray&) = delete;

  void SetCount(uint32_t n);
  void Clear() { SetCount(0); }
  void* Insert(void* item, uint32_t index);
  void* Add(void* item, int where);  // 1: at the front, otherwise at the end
  void* RemoveAt(uint32_t index);    // null, changing nothing, when index >= Count()
  void* Remove(int where);           // 1: the first item, otherwise the last
  void* Get(uint32_t index) const;
  void Swap(uint32_t i, uint32_t j);
  int32_t IndexOf(const void* item) const;
  DynArray& operator<<(void* item);
  DynArray& operator>>(void*& out);

  uint32_t Count() const { return count_; }
  uint32_t Capacity() const { return capacity_; }
  uint32_t GrowthStep() const { return growthStep_; }

 private:
  void** items_ = nullptr;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
  uint32_t growthStep_ = 1000;
};
