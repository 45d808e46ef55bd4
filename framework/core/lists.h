#pragma once
// Object lists. TList keeps references in order (a TObject itself, so it can travel as a
// parameter object and be recognised); TFreeList owns its items and frees them when they
// are deleted, removed, cleared or when the list goes (components through Free()).
// Extract takes an item out without freeing it.
#include <functional>
#include <vector>

#include "framework/core/object.h"

class TList : public TObject {
  FW_CLASS(TList, TObject)

 public:
  TList() = default;
  ~TList() override;

  int Count() const { return int(items_.size()); }
  TObject* Items(int index) const;  // EListError when out of range
  TObject* operator[](int index) const { return Items(index); }
  template <class T>
  T* ItemAs(int index) const { return As<T>(Items(index)); }
  TObject* First() const { return Items(0); }
  TObject* Last() const { return Items(Count() - 1); }
  int IndexOf(const TObject* item) const;

  int Add(TObject* item);
  void Insert(int index, TObject* item);
  void Put(int index, TObject* item);
  void Delete(int index);
  int Remove(TObject* item);  // the index it had, -1 when absent
  TObject* Extract(TObject* item);  // removes without freeing; null when absent
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Clear();
  // A stable sort: compare returns <0, 0 or >0.
  void Sort(const std::function<int(TObject*, TObject*)>& compare);

 protected:
  // Told of every item that leaves the list through Delete, Remove, Put or Clear.
  virtual void Dropped(TObject*) {}

 private:
  void Check(int index, int count) const;
  std::vector<TObject*> items_;
};

class TFreeList : public TList {
  FW_CLASS(TFreeList, TList)

 public:
  ~TFreeList() override;

 protected:
  void Dropped(TObject* item) override;
};
