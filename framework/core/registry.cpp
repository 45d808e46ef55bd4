#include "framework/core/registry.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "framework/core/exceptions.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "platform/byte_order.h"

namespace {

using THandle = IRegistryBackend::THandle;

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string r;
  for (const std::string& p : parts) {
    if (!r.empty()) r += '\\';
    r += p;
  }
  return r;
}

std::string CleanPath(const std::string& path) { return JoinPath(SplitPath(path)); }

// True when path is key itself or lies below it.
bool IsWithin(const std::string& path, const std::string& key) {
  if (path.size() < key.size() || !AnsiSameText(path.substr(0, key.size()), key)) return false;
  return path.size() == key.size() || path[key.size()] == '\\';
}

[[noreturn]] void Fail(const char* what, const std::string& name) {
  throw ERegistryException(std::string(what) + " '" + name + "'");
}

std::optional<std::string> AsString(const TRegValue& v) {
  if (v.Type != TRegType::String && v.Type != TRegType::ExpandString) return std::nullopt;
  auto end = std::find(v.Data.begin(), v.Data.end(), uint8_t(0));
  return std::string(v.Data.begin(), end);
}

std::optional<int> AsInteger(const TRegValue& v) {
  if (v.Type != TRegType::DWord || v.Data.size() != 4) return std::nullopt;
  return int(platform::GetU32(v.Data.data()));
}

void SetNames(TStrings& names, const std::vector<std::string>& list) {
  names.BeginUpdate();
  names.Clear();
  for (const std::string& n : list) names.Add(n);
  names.EndUpdate();
}

TRegValue StringValue(TRegType type, const std::string& s) {
  TRegValue v{type, std::vector<uint8_t>(s.begin(), s.end())};
  v.Data.push_back(0);
  return v;
}

}  // namespace

// --- TRegistry -------------------------------------------------------------------------

TRegistry::TRegistry(IRegistryBackend& backend, TRootKey root) : backend_(backend), root_(root) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(TRootKey root) {
  CloseKey();
  root_ = root;
}

std::string TRegistry::Resolve(const std::string& path) const {
  std::string clean = CleanPath(path);
  bool absolute = !path.empty() && path[0] == '\\';
  if (absolute || key_ == 0 || path_.empty()) return clean;
  return clean.empty() ? path_ : path_ + '\\' + clean;
}

bool TRegistry::Open(const std::string& path, bool create, bool readOnly) {
  std::string full = Resolve(path);
  if (!path.empty() && path[0] == '\\') CloseKey();
  THandle key = 0;
  if (!backend_.OpenKey(root_, full, create, readOnly, key)) return false;
  CloseKey();
  key_ = key;
  path_ = std::move(full);
  return true;
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) { return Open(path, canCreate, false); }

bool TRegistry::OpenKeyReadOnly(const std::string& path) { return Open(path, false, true); }

void TRegistry::CloseKey() {
  if (key_ != 0) backend_.CloseKey(key_);
  key_ = 0;
  path_.clear();
}

bool TRegistry::KeyExists(const std::string& path) {
  THandle key = 0;
  if (!backend_.OpenKey(root_, Resolve(path), false, true, key)) return false;
  backend_.CloseKey(key);
  return true;
}

bool TRegistry::DeleteTree(THandle parent, const std::string& parentPath, const std::string& name) {
  std::string path = parentPath.empty() ? name : parentPath + '\\' + name;
  THandle key = 0;
  if (!backend_.OpenKey(root_, path, false, false, key)) return false;
  std::vector<std::string> subkeys;
  bool ok = backend_.EnumKeys(key, subkeys);
  for (const std::string& sub : subkeys) ok = DeleteTree(key, path, sub) && ok;
  backend_.CloseKey(key);
  return ok && backend_.DeleteSubKey(parent, name);
}

bool TRegistry::DeleteKey(const std::string& path) {
  std::vector<std::string> parts = SplitPath(Resolve(path));
  if (parts.empty()) return false;  // never the root itself
  std::string full = JoinPath(parts);
  std::string name = parts.back();
  parts.pop_back();
  std::string parentPath = JoinPath(parts);
  THandle parent = 0;
  if (!backend_.OpenKey(root_, parentPath, false, false, parent)) return false;
  bool ok = DeleteTree(parent, parentPath, name);
  backend_.CloseKey(parent);
  if (ok && key_ != 0 && IsWithin(path_, full)) CloseKey();
  return ok;
}

void TRegistry::GetKeyNames(TStrings& names) {
  std::vector<std::string> list;
  if (key_ != 0) backend_.EnumKeys(key_, list);
  SetNames(names, list);
}

void TRegistry::GetValueNames(TStrings& names) {
  std::vector<std::string> list;
  if (key_ != 0) backend_.EnumValues(key_, list);
  SetNames(names, list);
}

bool TRegistry::Query(const std::string& name, TRegValue& value) {
  return key_ != 0 && backend_.QueryValue(key_, name, value);
}

bool TRegistry::ValueExists(const std::string& name) {
  TRegValue v;
  return Query(name, v);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return key_ != 0 && backend_.DeleteValue(key_, name);
}

bool TRegistry::FlushKey() { return key_ != 0 && backend_.FlushKey(key_); }

TRegValue TRegistry::Get(const std::string& name) {
  TRegValue v;
  if (!Query(name, v)) Fail("Failed to get data for", name);
  return v;
}

void TRegistry::Put(const std::string& name, const TRegValue& value) {
  if (key_ == 0 || !backend_.SetValue(key_, name, value)) Fail("Failed to set data for", name);
}

std::string TRegistry::ReadString(const std::string& name) {
  std::optional<std::string> s = AsString(Get(name));
  if (!s) Fail("Invalid data type for", name);
  return *s;
}

int TRegistry::ReadInteger(const std::string& name) {
  std::optional<int> i = AsInteger(Get(name));
  if (!i) Fail("Invalid data type for", name);
  return *i;
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

double TRegistry::ReadFloat(const std::string& name) {
  TRegValue v = Get(name);
  if (v.Type != TRegType::Binary || v.Data.size() != 8) Fail("Invalid data type for", name);
  uint64_t bits = uint64_t(platform::GetU32(v.Data.data())) |
                  uint64_t(platform::GetU32(v.Data.data() + 4)) << 32;
  return std::bit_cast<double>(bits);
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int size) {
  TRegValue v = Get(name);
  if (v.Type != TRegType::Binary) Fail("Invalid data type for", name);
  if (size < 0 || v.Data.size() > size_t(size)) Fail("Failed to get data for", name);
  if (!v.Data.empty()) std::memcpy(buffer, v.Data.data(), v.Data.size());
  return int(v.Data.size());
}

std::optional<std::string> TRegistry::TryReadString(const std::string& name) {
  TRegValue v;
  return Query(name, v) ? AsString(v) : std::nullopt;
}

std::optional<int> TRegistry::TryReadInteger(const std::string& name) {
  TRegValue v;
  return Query(name, v) ? AsInteger(v) : std::nullopt;
}

std::optional<bool> TRegistry::TryReadBool(const std::string& name) {
  std::optional<int> i = TryReadInteger(name);
  if (!i) return std::nullopt;
  return *i != 0;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  Put(name, StringValue(TRegType::String, value));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  Put(name, StringValue(TRegType::ExpandString, value));
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  TRegValue v{TRegType::DWord, std::vector<uint8_t>(4)};
  platform::PutU32(v.Data.data(), uint32_t(value));
  Put(name, v);
}

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void TRegistry::WriteFloat(const std::string& name, double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  TRegValue v{TRegType::Binary, std::vector<uint8_t>(8)};
  platform::PutU32(v.Data.data(), uint32_t(bits));
  platform::PutU32(v.Data.data() + 4, uint32_t(bits >> 32));
  Put(name, v);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* data, int size) {
  if (size < 0) Fail("Failed to set data for", name);
  auto p = static_cast<const uint8_t*>(data);
  Put(name, TRegValue{TRegType::Binary, std::vector<uint8_t>(p, p + size)});
}

// --- TMemRegistry ----------------------------------------------------------------------

struct TMemRegistry::Node {
  std::string name;
  std::vector<std::unique_ptr<Node>> keys;  // in name order
  std::vector<std::pair<std::string, TRegValue>> values;

  std::vector<std::unique_ptr<Node>>::iterator Lower(const std::string& n) {
    return std::lower_bound(keys.begin(), keys.end(), n, [](const std::unique_ptr<Node>& k, const std::string& x) {
      return AnsiCompareText(k->name, x) < 0;
    });
  }
  Node* Child(const std::string& n, bool create) {
    auto it = Lower(n);
    if (it != keys.end() && AnsiSameText((*it)->name, n)) return it->get();
    if (!create) return nullptr;
    auto node = std::make_unique<Node>();
    node->name = n;
    return keys.insert(it, std::move(node))->get();
  }
  std::pair<std::string, TRegValue>* Value(const std::string& n) {
    for (auto& v : values)
      if (AnsiSameText(v.first, n)) return &v;
    return nullptr;
  }
};

TMemRegistry::TMemRegistry() {
  for (TRootKey r : {TRootKey::hkClassesRoot, TRootKey::hkCurrentUser, TRootKey::hkLocalMachine,
                     TRootKey::hkUsers, TRootKey::hkCurrentConfig, TRootKey::hkDynData})
    roots_[r] = std::make_unique<Node>();
}

TMemRegistry::~TMemRegistry() = default;

TMemRegistry::Node* TMemRegistry::Find(TRootKey root, const std::vector<std::string>& parts, bool create) {
  Node* n = roots_.at(root).get();
  for (const std::string& p : parts)
    if (!(n = n->Child(p, create))) return nullptr;
  return n;
}

const TMemRegistry::Handle* TMemRegistry::HandleOf(THandle key) const {
  auto it = handles_.find(key);
  return it == handles_.end() ? nullptr : &it->second;
}

TMemRegistry::Node* TMemRegistry::Find(THandle key) {
  const Handle* h = HandleOf(key);
  return h ? Find(h->root, h->parts, false) : nullptr;
}

bool TMemRegistry::OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly, THandle& key) {
  std::vector<std::string> parts = SplitPath(path);
  if (!Find(root, parts, create && !readOnly)) return false;
  key = next_++;
  handles_[key] = Handle{root, std::move(parts), readOnly};
  return true;
}

void TMemRegistry::CloseKey(THandle key) { handles_.erase(key); }

bool TMemRegistry::QueryValue(THandle key, const std::string& name, TRegValue& value) {
  Node* n = Find(key);
  auto* v = n ? n->Value(name) : nullptr;
  if (!v) return false;
  value = v->second;
  return true;
}

bool TMemRegistry::SetValue(THandle key, const std::string& name, const TRegValue& value) {
  Node* n = Find(key);
  if (!n || HandleOf(key)->readOnly) return false;
  if (auto* v = n->Value(name))
    v->second = value;
  else
    n->values.emplace_back(name, value);
  return true;
}

bool TMemRegistry::DeleteValue(THandle key, const std::string& name) {
  Node* n = Find(key);
  if (!n || HandleOf(key)->readOnly) return false;
  auto it = std::find_if(n->values.begin(), n->values.end(),
                         [&](const auto& v) { return AnsiSameText(v.first, name); });
  if (it == n->values.end()) return false;
  n->values.erase(it);
  return true;
}

bool TMemRegistry::EnumKeys(THandle key, std::vector<std::string>& names) {
  Node* n = Find(key);
  if (!n) return false;
  names.clear();
  for (const auto& k : n->keys) names.push_back(k->name);
  return true;
}

bool TMemRegistry::EnumValues(THandle key, std::vector<std::string>& names) {
  Node* n = Find(key);
  if (!n) return false;
  names.clear();
  for (const auto& v : n->values) names.push_back(v.first);
  return true;
}

bool TMemRegistry::DeleteSubKey(THandle key, const std::string& name) {
  Node* n = Find(key);
  if (!n || HandleOf(key)->readOnly) return false;
  auto it = n->Lower(name);
  if (it == n->keys.end() || !AnsiSameText((*it)->name, name) || !(*it)->keys.empty()) return false;
  n->keys.erase(it);
  return true;
}
