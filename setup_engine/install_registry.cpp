// Registry writers: entries and their setters, key expansion, writing and the uninstall
// records; the uninstaller's entry.
#include "setup_engine/install_registry.h"

#include <algorithm>

#include "framework/core/registry.h"
#include "framework/core/sysutils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kKeySpecifiers{{"ksAbsolute", "ksCompanyName", "ksProductName", "ksVersion"}, {}};
const TTypeInfo kEntryTypes{{"retText", "retInteger", "retBoolean"}, {}};
const char* const kNoInstall = "There is no TInstall component in your project";

std::vector<TCustomInstallRegistry*>& Registries() {
  static std::vector<TCustomInstallRegistry*> list;
  return list;
}

void AddRegistry(TCustomInstallRegistry* r) {
  if (!r) throw IEInstallRegistryList("Cannot add blank entry to the registry list");
  Registries().push_back(r);
}

}  // namespace

const TTypeInfo& KeySpecifierTypeInfo() { return kKeySpecifiers; }
const TTypeInfo& RegistryEntryTypeTypeInfo() { return kEntryTypes; }

namespace setup {
const std::vector<TCustomInstallRegistry*>& InstallRegistries() { return Registries(); }
}  // namespace setup

// ---- TRegistryEntry

const TClassInfo& TRegistryEntry::StaticClass() {
  using P = TProps<TRegistryEntry>;
  static const TClassInfo info{
      "TRegistryEntry", &TCollectionItem::StaticClass(), nullptr,
      {P::Bool("Boolean", &TRegistryEntry::Boolean, &TRegistryEntry::SetBoolean).WithDefault(false),
       P::Enum<TRegistryEntryType>("EntryType", &kEntryTypes, &TRegistryEntry::EntryType,
                                   &TRegistryEntry::SetEntryType)
           .WithDefault(int64_t(0)),
       P::Str("Ident", [](const TRegistryEntry& e) { return e.Ident(); },
              [](TRegistryEntry& e, std::string v) { e.SetIdent(v); })
           .WithDefault(std::string()),
       P::Int("Integer", &TRegistryEntry::Integer, &TRegistryEntry::SetInteger).WithDefault(int64_t(0)),
       P::Component<TCustomPathSpecifier>("PathSpecifier", &TRegistryEntry::PathSpecifier,
                                          &TRegistryEntry::SetPathSpecifier),
       P::Str("Text", [](const TRegistryEntry& e) { return e.Text(); },
              [](TRegistryEntry& e, std::string v) { e.SetText(v); })
           .WithDefault(std::string())}};
  return info;
}

bool TRegistryEntry::Active() const { return owner_ && !owner_->IsLoading(); }

void TRegistryEntry::SetBoolean(bool v) {
  boolean_ = v;
  if (Active()) type_ = TRegistryEntryType::retBoolean;
}

void TRegistryEntry::SetInteger(int v) {
  integer_ = v;
  if (Active()) type_ = TRegistryEntryType::retInteger;
}

void TRegistryEntry::SetText(const std::string& v) {
  text_ = v;
  if (Active()) type_ = TRegistryEntryType::retText;
}

void TRegistryEntry::SetPathSpecifier(TCustomPathSpecifier* s) {
  if (s && Active()) {
    s->CheckObject(owner_);
    text_ = "%p";
    type_ = TRegistryEntryType::retText;
  }
  specifier_ = s;
  if (s && owner_) s->FreeNotification(owner_);
}

std::string TRegistryEntry::EntryText() const {
  if (!specifier_) return text_;
  return setup::ExpandPathVariable(text_, specifier_->GetPath(owner_));
}

void TRegistryEntry::Assign(const TPersistent& src) {
  auto* e = dynamic_cast<const TRegistryEntry*>(&src);
  if (!e) {
    TCollectionItem::Assign(src);
    return;
  }
  boolean_ = e->boolean_;
  type_ = e->type_;
  ident_ = e->ident_;
  integer_ = e->integer_;
  specifier_ = e->specifier_;
  if (specifier_ && owner_) specifier_->FreeNotification(owner_);
  text_ = e->text_;
}

// ---- TRegistryEntries

const TClassInfo& TRegistryEntries::StaticClass() {
  static const TClassInfo info{"TRegistryEntries", &TCollection::StaticClass(), nullptr, {}};
  return info;
}

TCustomInstallRegistry* TRegistryEntries::Checked(TCustomInstallRegistry* owner) {
  if (!owner) throw IERegistryEntries("Cannot create a TRegistryEntries component with a Nil Owner");
  return owner;
}

TRegistryEntries::TRegistryEntries(TCustomInstallRegistry* owner)
    : TCollection([o = Checked(owner)] {
        auto e = std::make_unique<TRegistryEntry>(o);
        if (!o->IsLoading()) e->SetOwnerLoaded();
        return e;
      }),
      owner_(owner) {}

// ---- TCustomInstallRegistry

const TClassInfo& TCustomInstallRegistry::StaticClass() {
  static const TClassInfo info{"TCustomInstallRegistry", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

TCustomInstallRegistry::TCustomInstallRegistry(TComponent* owner) : TInstallObject(owner) {
  SetAutoProcess(true);
  AddRegistry(this);
}

TCustomInstallRegistry::~TCustomInstallRegistry() = default;

void TCustomInstallRegistry::BeforeDestruction() {
  auto& list = Registries();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  TInstallObject::BeforeDestruction();
}

void TCustomInstallRegistry::Loaded() {
  TInstallObject::Loaded();
  for (int i = 0; i < entries_.Count(); ++i) entries_.Entry(i).SetOwnerLoaded();
}

void TCustomInstallRegistry::SetKey(const std::string& key) {
  if (keySpecifier_ == TKeySpecifier::ksAbsolute) key_ = key;
}

void TCustomInstallRegistry::SetKeySpecifierType(TKeySpecifier k) {
  if (k != TKeySpecifier::ksAbsolute && !IsLoading() && !setup::Driver()) throw IEInstallRegistry(kNoInstall);
  keySpecifier_ = k;
  if (k != TKeySpecifier::ksAbsolute) {
    key_.clear();
    rootKey_ = setup::TRootKeys::hkLocalMachine;
  }
}

std::string TCustomInstallRegistry::ExpandedKey() const {
  if (keySpecifier_ == TKeySpecifier::ksAbsolute) return setup::RemoveBackslash(key_);
  TCustomInstall* d = setup::Driver();
  if (!d) throw IEInstallRegistry(kNoInstall);
  const TInstallInformation& info = d->Information();
  std::string key = "\\SOFTWARE\\" + info.CompanyName;
  if (keySpecifier_ == TKeySpecifier::ksCompanyName) return key;
  key += "\\" + info.ProductName;
  if (keySpecifier_ == TKeySpecifier::ksProductName) return key;
  return key + "\\" + info.Version;
}

void TCustomInstallRegistry::DoProcess() {
  written_.clear();
  for (int i = 0; i < entries_.Count(); ++i) {
    TRegistryEntry& entry = entries_.Entry(i);
    bool go = true;
    OnBeforeWriteEntry(this, &entry, go);
    if (!go) continue;
    std::string key = ExpandedKey();
    TRegistry reg(setup::SetupRegistry(), setup::ToRootKey(rootKey_));
    if (!reg.OpenKey(key, true)) throw IEInstallRegistry("%s cannot create the key %s in the registry", {Name(), key});
    std::string text = entry.EntryText();
    try {
      switch (entry.EntryType()) {
        case TRegistryEntryType::retText: reg.WriteString(entry.Ident(), text); break;
        case TRegistryEntryType::retInteger: reg.WriteInteger(entry.Ident(), entry.Integer()); break;
        case TRegistryEntryType::retBoolean: reg.WriteBool(entry.Ident(), entry.Boolean()); break;
      }
    } catch (const ERegistryException&) {
      throw EIRCannotWriteValue(key, entry.Ident(), text);
    }
    written_.push_back(&entry);
  }
  TInstallObject::DoProcess();
}

void TCustomInstallRegistry::WriteUninstallInfo(const std::string& key) {
  using namespace setup;
  const std::string keys = key + "\\RegistryKeys";
  int n = StrToIntDef(ReadRegString(TRootKeys::hkLocalMachine, keys, "Entries", "0"), 0) + 1;
  WriteRegString(TRootKeys::hkLocalMachine, keys, "Entries", IntToStr(n));
  const std::string record = keys + "\\RegistryKey" + IntToStr(n);
  WriteRegString(TRootKeys::hkLocalMachine, record, "Key", ExpandedKey());
  WriteRegInteger(TRootKeys::hkLocalMachine, record, "Root", int(rootKey_));
  for (TRegistryEntry* e : written_)
    WriteRegString(TRootKeys::hkLocalMachine, record + "\\Entries", e->Ident(), e->EntryText());
}

void TCustomInstallRegistry::ContainerRemoved(TInstallContainer* c) {
  TInstallObject::ContainerRemoved(c);
  if (c && c == setup::InstallDriver()) keySpecifier_ = TKeySpecifier::ksAbsolute;
}

void TCustomInstallRegistry::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  for (int i = 0; i < entries_.Count(); ++i)
    if (entries_.Entry(i).PathSpecifier() == component) entries_.Entry(i).ClearPathSpecifier();
}

const TClassInfo& TInstallRegistry::StaticClass() {
  using P = TProps<TCustomInstallRegistry>;
  static const TTypeInfo* roots = &setup::RootKeysTypeInfo();
  static const TClassInfo info{
      "TInstallRegistry", &TCustomInstallRegistry::StaticClass(), Factory<TInstallRegistry>(),
      {TInstallObject::ContainerProp(),
       P::Collection("Entries", [](TCustomInstallRegistry& r) -> TPersistent& { return r.Entries(); }),
       TInstallContainer::InstallTypesProp(), TInstallContainer::OrderProp(),
       P::Enum<TKeySpecifier>("KeySpecifierType", &kKeySpecifiers, &TCustomInstallRegistry::KeySpecifierType,
                              &TCustomInstallRegistry::SetKeySpecifierType)
           .WithDefault(int64_t(0)),
       P::Str("Key", [](const TCustomInstallRegistry& r) { return r.Key(); },
              [](TCustomInstallRegistry& r, std::string v) { r.SetKey(v); })
           .WithDefault(std::string("\\SOFTWARE\\MyStuff")),
       P::Enum<setup::TRootKeys>("RootKey", roots, &TCustomInstallRegistry::RootKey,
                                 &TCustomInstallRegistry::SetRootKey)
           .WithDefault(int64_t(setup::TRootKeys::hkLocalMachine)),
       P::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
       P::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess),
       P::Event("OnBeforeWriteEntry", &TCustomInstallRegistry::OnBeforeWriteEntry)}};
  return info;
}

// ---- TUninstallEXE

const TClassInfo& TUninstallEXE::StaticClass() {
  static const TClassInfo info{"TUninstallEXE", &TInstallFile::StaticClass(), Factory<TUninstallEXE>(),
                               {TFileRelated::NetProp().WithDefault(true)}};
  return info;
}

TUninstallEXE::TUninstallEXE(TComponent* owner) : TInstallFile(owner) { SetNet(true); }

void TUninstallEXE::WriteUninstallInfo(const std::string& key) {
  using namespace setup;
  TCustomInstall* d = Driver();
  if (!d)
    throw IEUninstallEXE(
        "%s could not write information about the uninstall to the registry because there was no TInstall "
        "component",
        {Name()});
  TInstallFile::WriteUninstallInfo(key);
  const std::string& product = d->Information().ProductName;
  WriteRegString(TRootKeys::hkLocalMachine, key, "DisplayName", product);
  WriteRegString(TRootKeys::hkLocalMachine, key, "UninstallString", "\"" + Destination() + "\" " + product);
}
