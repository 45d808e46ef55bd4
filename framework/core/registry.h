#pragma once
// Registry access. TRegistry holds the rules (key paths, the current key, typed values and
// their checks); an IRegistryBackend makes the calls: the Win32 backend in framework/win
// for the programs, TMemRegistry here for the native tests.
//
// Key paths: one that begins with "\" is taken from the root key and closes the current key
// first; any other is relative to the current key, or to the root when none is open. Empty
// parts (doubled, leading and trailing backslashes) are dropped, so the backend always
// sees a clean path such as "Software\Norvale"; CurrentPath() is that path. Values are read
// and written in the current key only; with none open every value operation fails. The
// empty value name is the key's default value.
//
// Opening never throws. Typed reads throw ERegistryException on a missing value ("Failed to
// get data for 'x'") or one of another type ("Invalid data type for 'x'"); the TryRead
// forms give std::nullopt instead. Writes throw when the backend refuses them.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TStrings;

enum class TRootKey { hkClassesRoot, hkCurrentUser, hkLocalMachine, hkUsers, hkCurrentConfig, hkDynData };

// The registry's own type codes.
enum class TRegType : uint32_t {
  None = 0,
  String = 1,        // REG_SZ
  ExpandString = 2,  // REG_EXPAND_SZ
  Binary = 3,        // REG_BINARY
  DWord = 4,         // REG_DWORD, little-endian
  MultiString = 7,   // REG_MULTI_SZ
};

struct TRegValue {
  TRegType Type = TRegType::None;
  std::vector<uint8_t> Data;
};

// The calls under TRegistry. Paths come cleaned, relative to the root, "" for the root
// itself. A handle is the backend's own; 0 is never a valid one.
class IRegistryBackend {
 public:
  using THandle = uintptr_t;
  virtual ~IRegistryBackend() = default;
  // Opens (or, with create, creates) the key; false when it cannot.
  virtual bool OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly,
                       THandle& key) = 0;
  virtual void CloseKey(THandle key) = 0;
  virtual bool QueryValue(THandle key, const std::string& name, TRegValue& value) = 0;
  virtual bool SetValue(THandle key, const std::string& name, const TRegValue& value) = 0;
  virtual bool DeleteValue(THandle key, const std::string& name) = 0;
  virtual bool EnumKeys(THandle key, std::vector<std::string>& names) = 0;
  virtual bool EnumValues(THandle key, std::vector<std::string>& names) = 0;
  // Deletes the direct subkey name of key; it may fail while that key has subkeys.
  virtual bool DeleteSubKey(THandle key, const std::string& name) = 0;
  // Writes what was changed under key to disk before it returns; false when it cannot. A
  // registry that keeps nothing on disk has nothing to do.
  virtual bool FlushKey(THandle) { return true; }
};

class TRegistry {
 public:
  explicit TRegistry(IRegistryBackend& backend, TRootKey root = TRootKey::hkCurrentUser);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  TRootKey RootKey() const { return root_; }
  void SetRootKey(TRootKey root);  // closes the current key
  bool HasCurrentKey() const { return key_ != 0; }
  const std::string& CurrentPath() const { return path_; }

  bool OpenKey(const std::string& path, bool canCreate);
  bool OpenKeyReadOnly(const std::string& path);
  void CloseKey();
  bool KeyExists(const std::string& path);
  bool DeleteKey(const std::string& path);  // with all its subkeys
  // The subkeys and values of the current key; empty when none is open.
  void GetKeyNames(TStrings& names);
  void GetValueNames(TStrings& names);

  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);
  // Writes the current key's changes to disk; false with no key open or when it cannot.
  bool FlushKey();

  std::string ReadString(const std::string& name);  // REG_SZ or REG_EXPAND_SZ, unexpanded
  int ReadInteger(const std::string& name);         // a 4-byte REG_DWORD
  bool ReadBool(const std::string& name);           // ReadInteger != 0
  double ReadFloat(const std::string& name);        // an 8-byte REG_BINARY double
  // Copies a REG_BINARY value into buffer and returns its size; a larger value throws.
  int ReadBinaryData(const std::string& name, void* buffer, int size);
  std::optional<std::string> TryReadString(const std::string& name);
  std::optional<int> TryReadInteger(const std::string& name);
  std::optional<bool> TryReadBool(const std::string& name);

  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value);
  void WriteFloat(const std::string& name, double value);
  void WriteBinaryData(const std::string& name, const void* data, int size);

 private:
  std::string Resolve(const std::string& path) const;
  bool Open(const std::string& path, bool create, bool readOnly);
  bool DeleteTree(IRegistryBackend::THandle parent, const std::string& parentPath,
                  const std::string& name);
  bool Query(const std::string& name, TRegValue& value);
  TRegValue Get(const std::string& name);  // throws when missing
  void Put(const std::string& name, const TRegValue& value);

  IRegistryBackend& backend_;
  TRootKey root_;
  IRegistryBackend::THandle key_ = 0;
  std::string path_;
};

// An in-memory registry: six empty roots, names compared case-insensitively through the
// locale, subkeys listed in name order and values in the order they were made (as the
// system registry does). Like the NT registry, a key with subkeys cannot be deleted
// directly. Handles stay valid after their key is deleted; calls on them fail.
class TMemRegistry : public IRegistryBackend {
 public:
  TMemRegistry();
  ~TMemRegistry() override;
  TMemRegistry(const TMemRegistry&) = delete;
  TMemRegistry& operator=(const TMemRegistry&) = delete;

  bool OpenKey(TRootKey root, const std::string& path, bool create, bool readOnly,
               THandle& key) override;
  void CloseKey(THandle key) override;
  bool QueryValue(THandle key, const std::string& name, TRegValue& value) override;
  bool SetValue(THandle key, const std::string& name, const TRegValue& value) override;
  bool DeleteValue(THandle key, const std::string& name) override;
  bool EnumKeys(THandle key, std::vector<std::string>& names) override;
  bool EnumValues(THandle key, std::vector<std::string>& names) override;
  bool DeleteSubKey(THandle key, const std::string& name) override;

  size_t OpenHandles() const { return handles_.size(); }  // to find leaks in tests

 private:
  struct Node;
  struct Handle {
    TRootKey root;
    std::vector<std::string> parts;
    bool readOnly;
  };
  Node* Find(TRootKey root, const std::vector<std::string>& parts, bool create);
  Node* Find(THandle key);  // null when the handle is unknown or its key was deleted
  const Handle* HandleOf(THandle key) const;

  std::map<TRootKey, std::unique_ptr<Node>> roots_;
  std::map<THandle, Handle> handles_;
  THandle next_ = 1;
};
