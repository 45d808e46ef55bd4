#pragma once
// String lists. TStrings is the abstract list (strings with an object pointer each, name=value
// pairs, Text joined with CR LF and split on CR, LF or CR LF, files kept byte for byte);
// TStringList stores them, optionally sorted (case-insensitive through the locale seam)
// with a duplicates rule, and reports changes through OnChange.
#include <functional>
#include <string>
#include <vector>

#include "framework/core/object.h"

class TStrings : public TPersistent {
  FW_CLASS(TStrings, TPersistent)

 public:
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual void Put(int index, const std::string& s);
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* obj);
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* obj);
  void InsertObject(int index, const std::string& s, TObject* obj);
  void AddStrings(const TStrings& other);
  void Move(int from, int to);
  void Exchange(int a, int b);

  std::string operator[](int index) const { return Get(index); }
  virtual int IndexOf(const std::string& s) const;  // case-insensitive
  int IndexOfObject(const TObject* obj) const;

  // name=value entries
  int IndexOfName(const std::string& name) const;
  std::string Names(int index) const;
  std::string Value(const std::string& name) const;
  void SetValue(const std::string& name, const std::string& value);  // empty value deletes

  std::string Text() const;
  // Replaces the contents with the lines of text (CR, LF or CR LF end a line).
  virtual void SetText(const std::string& text);
  std::string CommaText() const;
  void LoadFromStream(class TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updateCount_ > 0; }
  void Assign(const TPersistent& src) override;

 protected:
  // Called when the first BeginUpdate starts and the last EndUpdate ends.
  virtual void SetUpdateState(bool) {}
  void CheckIndex(int index, int count) const;

 private:
  int updateCount_ = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
  FW_CLASS(TStringList, TStrings)

 public:
  TStringList() = default;
  int Count() const override { return int(items_.size()); }
  std::string Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* obj) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& s) override;
  int IndexOf(const std::string& s) const override;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  // Binary search in a sorted list: true and the index when found, else the insert point.
  bool Find(const std::string& s, int& index) const;
  void Sort();
  void CustomSort(const std::function<int(const TStringList&, int, int)>& compare);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    std::string s;
    TObject* obj = nullptr;
  };
  void InsertItem(int index, const std::string& s);
  std::vector<Item> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};
