#pragma once
// Collections: an owned, ordered list of items of one class, each with its own property
// table, written in form text as <item ... end>.
#include <functional>
#include <memory>
#include <vector>

#include "framework/core/object.h"

class TCollection;

class TCollectionItem : public TPersistent {
  FW_CLASS(TCollectionItem, TPersistent)

 public:
  TCollection* Collection() const { return collection_; }
  int Index() const;

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
};

class TCollection : public TPersistent {
  FW_CLASS(TCollection, TPersistent)

 public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>()>;
  explicit TCollection(ItemFactory factory) : factory_(std::move(factory)) {}
  ~TCollection() override;

  TCollectionItem& Add();
  int Count() const { return int(items_.size()); }
  TCollectionItem& Item(int index) const;
  void Delete(int index);
  void Clear();

 private:
  ItemFactory factory_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
};
