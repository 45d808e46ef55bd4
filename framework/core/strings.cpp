#include "framework/core/strings.h"

#include <algorithm>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"

const TClassInfo& TStrings::StaticClass() {
  static const TClassInfo info{"TStrings", &TPersistent::StaticClass(), nullptr, {}};
  return info;
}

const TClassInfo& TStringList::StaticClass() {
  static const TClassInfo info{"TStringList", &TStrings::StaticClass(), nullptr, {}};
  return info;
}

void TStrings::CheckIndex(int index, int count) const {
  if (index < 0 || index >= count)
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
}

void TStrings::Put(int index, const std::string& s) {
  TObject* obj = GetObject(index);
  BeginUpdate();
  Delete(index);
  InsertObject(index, s, obj);
  EndUpdate();
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& s) {
  int n = Count();
  Insert(n, s);
  return n;
}

int TStrings::AddObject(const std::string& s, TObject* obj) {
  int i = Add(s);
  PutObject(i, obj);
  return i;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* obj) {
  Insert(index, s);
  PutObject(index, obj);
}

void TStrings::AddStrings(const TStrings& other) {
  BeginUpdate();
  for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  EndUpdate();
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from, Count());
  CheckIndex(to, Count());
  std::string s = Get(from);
  TObject* obj = GetObject(from);
  BeginUpdate();
  Delete(from);
  InsertObject(to, s, obj);
  EndUpdate();
}

void TStrings::Exchange(int a, int b) {
  CheckIndex(a, Count());
  CheckIndex(b, Count());
  std::string sa = Get(a), sb = Get(b);
  TObject *oa = GetObject(a), *ob = GetObject(b);
  BeginUpdate();
  Put(a, sb);
  PutObject(a, ob);
  Put(b, sa);
  PutObject(b, oa);
  EndUpdate();
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(Get(i), s)) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* obj) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == obj) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    size_t eq = s.find('=');
    if (eq != std::string::npos && AnsiSameText(s.substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::Value(const std::string& name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  std::string s = Get(i);
  return s.substr(s.find('=') + 1);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    Put(i, name + "=" + value);
  } else {
    Add(name + "=" + value);
  }
}

std::string TStrings::Text() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) out += Get(i) + "\r\n";
  return out;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  Clear();
  size_t start = 0, i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      Add(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) Add(text.substr(start));
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos;
    if (i) out += ',';
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
  }
  return out;
}

void TStrings::LoadFromStream(TStream& stream) {
  int64_t size = stream.Size() - stream.Position();
  std::string text(size_t(std::max<int64_t>(size, 0)), '\0');
  if (!text.empty()) stream.ReadBuffer(text.data(), int32_t(text.size()));
  SetText(text);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string text = Text();
  if (!text.empty()) stream.WriteBuffer(text.data(), int32_t(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
  f.Flush();
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(const TPersistent& src) {
  if (auto s = dynamic_cast<const TStrings*>(&src)) {
    if (s == this) return;
    BeginUpdate();
    Clear();
    AddStrings(*s);
    EndUpdate();
    return;
  }
  TPersistent::Assign(src);
}

std::string TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return items_[size_t(index)].s;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted string list");
  CheckIndex(index, Count());
  Changing();
  items_[size_t(index)].s = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index, Count());
  return items_[size_t(index)].obj;
}

void TStringList::PutObject(int index, TObject* obj) {
  CheckIndex(index, Count());
  Changing();
  items_[size_t(index)].obj = obj;
  Changed();
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted string list");
  if (index < 0 || index > Count())
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  InsertItem(index, s);
}

void TStringList::InsertItem(int index, const std::string& s) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

int TStringList::Add(const std::string& s) {
  if (!sorted_) {
    InsertItem(Count(), s);
    return Count() - 1;
  }
  int index;
  if (Find(s, index)) {
    if (duplicates_ == TDuplicates::dupIgnore) return index;
    if (duplicates_ == TDuplicates::dupError)
      throw EListError("String list does not allow duplicates");
  }
  InsertItem(index, s);
  return index;
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = AnsiCompareText(items_[size_t(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::Sort() {
  CustomSort([](const TStringList& l, int a, int b) {
    return AnsiCompareText(l.items_[size_t(a)].s, l.items_[size_t(b)].s);
  });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
  if (Count() < 2) return;
  Changing();
  // Sorting an index permutation lets the comparison look at the list as it stands.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(items_[size_t(i)]);
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetUpdateState(bool updating) {
  if (updating)
    OnChanging(this);
  else
    OnChange(this);
}

void TStringList::Changing() {
  if (!Updating()) OnChanging(this);
}

void TStringList::Changed() {
  if (!Updating()) OnChange(this);
}
