#pragma once
// Registry writers and the uninstaller's entry: a TInstallRegistry writes its list of
// typed values under one key while the installation runs; a TUninstallEXE is the install
// file that carries the uninstaller and registers it with Windows.
//
// How it works: the key is given absolutely or built from the driver's company, product
// and version (the key specifier); each entry is a text, an integer or a Boolean, and a
// text may name a path specifier whose folder takes the place of "%p". A handler may
// skip an entry before it is written. After processing, each object records what it
// wrote under the product's uninstall key (install_object.h): a registry object under
// "\RegistryKeys\RegistryKey<n>" its key, its root and the texts of the entries it
// wrote; the uninstaller its display name and command line. Every write goes through the
// setup's registry backend (setup_registry.h).
#include <string>
#include <vector>

#include "framework/core/collection.h"
#include "setup_engine/install_file.h"
#include "setup_engine/setup_registry.h"

enum class TKeySpecifier { ksAbsolute, ksCompanyName, ksProductName, ksVersion };
enum class TRegistryEntryType { retText, retInteger, retBoolean };
const TTypeInfo& KeySpecifierTypeInfo();
const TTypeInfo& RegistryEntryTypeTypeInfo();

class IERegistryEntry : public IException {
 public:
  using IException::IException;
};
class IERegistryEntries : public IException {
 public:
  using IException::IException;
};
class IEInstallRegistry : public IException {
 public:
  using IException::IException;
};
class IEInstallRegistryList : public IException {
 public:
  using IException::IException;
};
class IEUninstallEXE : public IException {
 public:
  using IException::IException;
};

class TCustomInstallRegistry;

class TRegistryEntry : public TCollectionItem {
  FW_CLASS(TRegistryEntry, TCollectionItem)

 public:
  explicit TRegistryEntry(TCustomInstallRegistry* owner) : owner_(owner) {}

  bool Boolean() const { return boolean_; }
  // Outside loading the entry becomes a Boolean one; likewise Integer and Text below.
  void SetBoolean(bool v);
  TRegistryEntryType EntryType() const { return type_; }
  void SetEntryType(TRegistryEntryType t) { type_ = t; }
  const std::string& Ident() const { return ident_; }
  void SetIdent(const std::string& v) { ident_ = v; }
  int Integer() const { return integer_; }
  void SetInteger(int v);
  TCustomPathSpecifier* PathSpecifier() const { return specifier_; }
  // Outside loading a specifier first checks the owner, then the entry becomes the text
  // "%p".
  void SetPathSpecifier(TCustomPathSpecifier* s);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& v);
  // The registry object; null until it has loaded.
  TCustomInstallRegistry* Owner() const { return loaded_ ? owner_ : nullptr; }
  void SetOwnerLoaded() { loaded_ = true; }

  // Text, with the specifier's folder for the owner in place of "%p" when one is set.
  std::string EntryText() const;
  // A specifier that goes: cleared, the type kept.
  void ClearPathSpecifier() { specifier_ = nullptr; }
  void Assign(const TPersistent& src) override;

 private:
  bool Active() const;

  TCustomInstallRegistry* owner_;
  bool loaded_ = false;
  bool boolean_ = false;
  TRegistryEntryType type_ = TRegistryEntryType::retText;
  std::string ident_;
  int integer_ = 0;
  TCustomPathSpecifier* specifier_ = nullptr;
  std::string text_;
};

class TRegistryEntries : public TCollection {
  FW_CLASS(TRegistryEntries, TCollection)

 public:
  // IERegistryEntries without an owner.
  explicit TRegistryEntries(TCustomInstallRegistry* owner);
  TCustomInstallRegistry* Owner() const { return owner_; }
  TRegistryEntry& Entry(int index) const { return static_cast<TRegistryEntry&>(Item(index)); }
  TRegistryEntry& AddEntry() { return static_cast<TRegistryEntry&>(Add()); }

 private:
  static TCustomInstallRegistry* Checked(TCustomInstallRegistry* owner);
  TCustomInstallRegistry* owner_;
};

// (the registry object, the entry, var Continue)
using TBeforeWriteEntry = TEvent<void(TCustomInstallRegistry* InstallRegistry, TRegistryEntry* Entry, bool& Continue)>;

class TCustomInstallRegistry : public TInstallObject {
  FW_CLASS(TCustomInstallRegistry, TInstallObject)

 public:
  explicit TCustomInstallRegistry(TComponent* owner);

  TRegistryEntries& Entries() { return entries_; }
  const std::string& Key() const { return key_; }
  // Ignored unless KeySpecifierType is ksAbsolute.
  void SetKey(const std::string& key);
  TKeySpecifier KeySpecifierType() const { return keySpecifier_; }
  // A derived kind needs a driver (outside loading), empties Key and puts the root at
  // HKEY_LOCAL_MACHINE.
  void SetKeySpecifierType(TKeySpecifier k);
  setup::TRootKeys RootKey() const { return rootKey_; }
  void SetRootKey(setup::TRootKeys r) { rootKey_ = r; }

  TBeforeWriteEntry OnBeforeWriteEntry;

  // The key the entries go under (see the header's note); IEInstallRegistry "There is no
  // TInstall component in your project" for a derived kind without a driver.
  std::string ExpandedKey() const;
  // The entries the last processing wrote, in order.
  const std::vector<TRegistryEntry*>& Written() const { return written_; }

  int ComponentType() const override { return setup::kKindInstallRegistry; }
  // Writes each entry its handler lets through, then the children.
  void DoProcess() override;
  void WriteUninstallInfo(const std::string& key) override;
  void ContainerRemoved(TInstallContainer* c) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  ~TCustomInstallRegistry() override;
  void BeforeDestruction() override;

 private:
  TRegistryEntries entries_{this};
  std::string key_ = "\\SOFTWARE\\MyStuff";
  TKeySpecifier keySpecifier_ = TKeySpecifier::ksAbsolute;
  setup::TRootKeys rootKey_ = setup::TRootKeys::hkLocalMachine;
  std::vector<TRegistryEntry*> written_;
};

class TInstallRegistry : public TCustomInstallRegistry {
  FW_CLASS(TInstallRegistry, TCustomInstallRegistry)

 public:
  explicit TInstallRegistry(TComponent* owner) : TCustomInstallRegistry(owner) {}

 protected:
  ~TInstallRegistry() override = default;
};

// The uninstaller program: installed as a file, then registered under the product's
// uninstall key ("DisplayName", and "UninstallString": the quoted program and the
// product name).
class TUninstallEXE : public TInstallFile {
  FW_CLASS(TUninstallEXE, TInstallFile)

 public:
  explicit TUninstallEXE(TComponent* owner);
  void WriteUninstallInfo(const std::string& key) override;

 protected:
  ~TUninstallEXE() override = default;
};

namespace setup {

// Every registry object alive, in the order they were made.
const std::vector<TCustomInstallRegistry*>& InstallRegistries();

}  // namespace setup
