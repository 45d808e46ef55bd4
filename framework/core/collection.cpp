#include "framework/core/collection.h"

#include <string>

const TClassInfo& TCollectionItem::StaticClass() {
  static const TClassInfo info{"TCollectionItem", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  for (int i = 0; i < collection_->Count(); ++i)
    if (&collection_->Item(i) == this) return i;
  return -1;
}

const TClassInfo& TCollection::StaticClass() {
  static const TClassInfo info{"TCollection", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

TCollection::~TCollection() = default;

TCollectionItem& TCollection::Add() {
  items_.push_back(factory_());
  items_.back()->collection_ = this;
  return *items_.back();
}

TCollectionItem& TCollection::Item(int index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return *items_[size_t(index)];
}

void TCollection::Delete(int index) {
  Item(index);
  items_.erase(items_.begin() + index);
}

void TCollection::Clear() { items_.clear(); }
