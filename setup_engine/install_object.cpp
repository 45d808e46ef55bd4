#include "setup_engine/install_object.h"

#include <algorithm>
#include <cmath>

#include "framework/core/sysutils.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kInstallTypes{{"itFull", "itDefault", "itCompact", "itAlways", "itCustom"}, {}};
const TTypeInfo kDistributeTypes{{"dtTraditional", "dtWeb", "dtTraditionalNet"}, {}};

std::vector<TInstallContainer*>& Containers() {
  static std::vector<TInstallContainer*> list;
  return list;
}

TInstallContainer* driver = nullptr;
bool rebootNeeded = false;

constexpr TInstallTypeSet kAlways = InstallTypeBit(TInstallType::itAlways);

}  // namespace

const TTypeInfo& InstallTypeTypeInfo() { return kInstallTypes; }
const TTypeInfo& DistributeTypeTypeInfo() { return kDistributeTypes; }

namespace setup {

const char* const kUninstallKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const std::vector<TInstallContainer*>& InstallContainers() { return Containers(); }
TInstallContainer* InstallDriver() { return driver; }
void SetInstallDriver(TInstallContainer* d) { driver = d; }
bool RebootNeeded() { return rebootNeeded; }
void SetRebootNeeded(bool v) { rebootNeeded = v; }

}  // namespace setup

// ---- parameter objects

const TClassInfo& TMessageParameter::StaticClass() {
  static const TClassInfo info{"TMessageParameter", &TObject::StaticClass(), nullptr, {}};
  return info;
}
const TClassInfo& TDiskParameter::StaticClass() {
  static const TClassInfo info{"TDiskParameter", &TObject::StaticClass(), nullptr, {}};
  return info;
}
const TClassInfo& TDownloadStatusParameter::StaticClass() {
  static const TClassInfo info{"TDownloadStatusParameter", &TObject::StaticClass(), nullptr, {}};
  return info;
}
const TClassInfo& TFileStatusParameter::StaticClass() {
  static const TClassInfo info{"TFileStatusParameter", &TObject::StaticClass(), nullptr, {}};
  return info;
}
const TClassInfo& TParameterList::StaticClass() {
  static const TClassInfo info{"TParameterList", &TList::StaticClass(), nullptr, {}};
  return info;
}

TDownloadStatusParameter::TDownloadStatusParameter(int32_t value, std::string text, int32_t total,
                                                   int32_t received)
    : Value(value), Text(std::move(text)), Total(total), Received(received), Percent(0) {
  // In 64 bits: received * 100 overflows 32 bits from 21 MB on. A total that is only what
  // the server has ready (FTP) may be passed: the percent stays within 0 ... 100.
  if (total != 0)
    Percent = int32_t(std::clamp<long long>(std::llround(double(received) * 100.0 / double(total)), 0, 100));
}

TFileStatusParameter::TFileStatusParameter(const TlzhFileStats& stats)
    : BytesDone(stats.bytesDone),
      Percent(stats.percentDone),
      FileName(stats.name),
      Stats(stats),
      TotalBytes(stats.overallBytesDone),
      TotalPercent(stats.overallPercent) {}

// ---- TInstallContainer

const TClassInfo& TInstallContainer::StaticClass() {
  static const TClassInfo info{"TInstallContainer", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

namespace {

// Runs before the component joins its owner, so a failure leaves nothing behind.
TComponent* WithStandardSpecifiers(TComponent* owner) {
  if (setup::IsFormOrDataModule(owner)) setup::RegisterStandardSpecifiers(owner, true);
  return owner;
}

}  // namespace

TInstallContainer::TInstallContainer(TComponent* owner) : TComponent(WithStandardSpecifiers(owner)) {
  Containers().push_back(this);
}

TInstallContainer::~TInstallContainer() = default;

void TInstallContainer::BeforeDestruction() {
  auto& list = Containers();
  std::vector<TInstallContainer*> others = list;
  for (size_t i = others.size(); i-- > 0;) {
    TInstallContainer* c = others[i];
    if (c != this && std::find(list.begin(), list.end(), c) != list.end()) c->ContainerRemoved(this);
  }
  children_.clear();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (driver == this) driver = nullptr;
  TComponent::BeforeDestruction();
}

bool TInstallContainer::IsChild(const TInstallObject* child) const {
  return std::find(children_.begin(), children_.end(), child) != children_.end();
}

TInstallObject* TInstallContainer::Child(int index) const {
  if (index < 0 || index >= ChildCount())
    throw IEInstallContainer(
        "Tried to reference a helper component in the following component: %s. The following index was used: %d",
        {Name(), int64_t(index)});
  return children_[size_t(index)];
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet types) {
  if (types == 0 || ((types & kAlways) && !(installTypes_ & kAlways)))
    types = kAlways;
  else if ((types & kAlways) && types != kAlways)
    types &= ~kAlways;
  installTypes_ = types;
}

void TInstallContainer::SetCurrentInstallType(TInstallType t) {
  currentType_ = t;
  std::vector<TInstallObject*> children = children_;
  for (TInstallObject* c : children)
    if (IsChild(c)) c->SetCurrentInstallType(t);
}

bool TInstallContainer::IsIncluded() const {
  return include_ && (currentType_ == TInstallType::itAlways || currentType_ == TInstallType::itCustom ||
                      (installTypes_ & kAlways) || (installTypes_ & InstallTypeBit(currentType_)));
}

void TInstallContainer::SetDestDir(const std::string& dir) { destDir_ = dir; }

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* specifier) {
  if (specifier && !IsLoading()) specifier->CheckObject(this);
  destDirType_ = specifier;
}

void TInstallContainer::SetOrder(int order) { order_ = order; }

int TInstallContainer::FileContainerCount() const { return CountOfKind(setup::kKindFileContainer); }

TInstallObject* TInstallContainer::FileContainers(int index) const {
  return ChildOfKind(index, setup::kKindFileContainer);
}

void TInstallContainer::ContainerRemoved(TInstallContainer* c) {
  children_.erase(std::remove(children_.begin(), children_.end(), c), children_.end());
}

void TInstallContainer::ShowStatusMessage(const std::string& text) {
  TMessageParameter parameter(text);
  BroadcastInformation(this, setup::icStatusMessage, &parameter);
}

void TInstallContainer::CloseStatusMessage() { BroadcastInformation(this, setup::icStatusClear, nullptr); }

std::string TInstallContainer::GetFullDestDir() {
  if (TCustomPathSpecifier* s = destDirType_.Get()) return setup::RemoveBackslash(s->GetPath(this) + destDir_);
  return destDir_;
}

int TInstallContainer::ComponentType() const {
  throw IEInstallContainer("Class must declare a registered type");
}

void TInstallContainer::AddObject(TInstallObject* child) {
  if (!child) throw IEInstallContainer("Cannot add a blank base helper component to %s", {Name()});
  // The new parent's chain of containers must not lead to the child. The walk is bounded
  // by the number of containers, so even a chain that loops ends.
  const TInstallContainer* up = this;
  for (size_t steps = 0; up && steps <= Containers().size(); ++steps) {
    if (up == child) throw IEInstallContainer("Circular reference");
    auto* o = dynamic_cast<const TInstallObject*>(up);
    up = o ? o->Container() : nullptr;
  }
  int kind = child->ComponentType();
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
  size_t at = children_.size();
  if (SameText(child->ClassName(), "TINSTALLBDE")) {
    at = 0;
  } else if (child->Order() != -1) {
    for (size_t i = 0; i < children_.size(); ++i) {
      int k = children_[i]->ComponentType();
      if (k > kind || (k == kind && children_[i]->Order() >= child->Order())) {
        at = i;
        break;
      }
    }
  }
  children_.insert(children_.begin() + std::ptrdiff_t(at), child);
  if (!IsLoading()) Renumber();
}

void TInstallContainer::RemoveObject(TInstallObject* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  children_.erase(it);
  if (!IsLoading()) Renumber();
}

void TInstallContainer::Renumber() {
  int position = 0, previous = 0;
  for (size_t i = 0; i < children_.size(); ++i) {
    int kind = children_[i]->ComponentType();
    if (i > 0 && kind != previous) position = 0;
    children_[i]->StoreOrder(position++);
    previous = kind;
  }
}

void TInstallContainer::Process() {
  using namespace setup;
  try {
    OnBeforeProcess(this);
    BroadcastInformation(this, icBeforeProcess, nullptr);
    // An object that is not included stops here: neither its broadcasts nor its children.
    if (!include_) return;
    OnProcessIncluded(this);
    BroadcastInformation(this, icProcessIncluded, nullptr);
    if (!IsIncluded()) return;
    DoProcess();
    processed_ = true;
    if (TInstallContainer* d = InstallDriver()) WriteUninstallInfo(kUninstallKey + d->UninstallProductName());
    OnAfterProcess(this);
    BroadcastInformation(this, icAfterProcess, nullptr);
  } catch (const EAbort&) {
  }
}

void TInstallContainer::DoProcess() {
  processed_ = true;
  std::vector<TInstallObject*> children = children_;
  for (TInstallObject* c : children)
    if (IsChild(c) && c->AutoProcess()) c->Process();
}

void TInstallContainer::BroadcastInformation(TObject* sender, int code, TObject* parameter) {
  std::vector<TInstallObject*> children = children_;
  for (TInstallObject* c : children)
    if (IsChild(c) && c->ComponentType() == setup::kKindDialog) c->DoInformationEvent(sender, code, parameter);
}

int TInstallContainer::CountOfKind(int kind) const {
  int n = 0;
  for (TInstallObject* c : children_)
    if (c->ComponentType() == kind) ++n;
  return n;
}

TInstallObject* TInstallContainer::ChildOfKind(int index, int kind) const {
  int n = 0;
  for (TInstallObject* c : children_)
    if (c->ComponentType() == kind && n++ == index) return c;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. "
      "The parameters are probably reversed. Index: %d, ComponentType: %d",
      {int64_t(index), int64_t(kind)});
}

void TInstallContainer::FreeChildrenOfKind(int kind) {
  std::vector<TInstallObject*> children = children_;
  for (TInstallObject* c : children)
    if (IsChild(c) && c->ComponentType() == kind) c->Free();
}

TPropInfo TInstallContainer::IncludeProp() {
  return TProps<TInstallContainer>::Bool("Include", &TInstallContainer::Include, &TInstallContainer::SetInclude)
      .WithDefault(true);
}

TPropInfo TInstallContainer::InstallTypesProp() {
  return TProps<TInstallContainer>::Set("InstallTypes", &kInstallTypes, &TInstallContainer::InstallTypes,
                                        &TInstallContainer::SetInstallTypes)
      .WithDefault(int64_t(kAlways));
}

TPropInfo TInstallContainer::OrderProp() {
  return TProps<TInstallContainer>::Int("Order", &TInstallContainer::Order,
                                        [](TInstallContainer& c, int v) { c.SetOrder(v); })
      .WithDefault(int64_t(-1));
}

TPropInfo TInstallContainer::DestDirProp() {
  return TProps<TInstallContainer>::Str("DestDir", [](const TInstallContainer& c) { return c.DestDir(); },
                                        [](TInstallContainer& c, std::string v) { c.SetDestDir(v); })
      .WithDefault(std::string());
}

TPropInfo TInstallContainer::DestDirTypeProp() {
  return TProps<TInstallContainer>::Component<TCustomPathSpecifier>(
      "DestDirType", &TInstallContainer::DestDirType,
      [](TInstallContainer& c, TCustomPathSpecifier* s) { c.SetDestDirType(s); });
}

// ---- TInstallObject

const TClassInfo& TInstallObject::StaticClass() {
  static const TClassInfo info{"TInstallObject", &TInstallContainer::StaticClass(), nullptr, {}};
  return info;
}

void TInstallObject::SetContainer(TInstallContainer* container) {
  if (container == container_) return;
  if (container) container->AddObject(this);
  if (container_) container_->RemoveObject(this);
  container_ = container;
  if (IsLoading()) return;
  TCustomPathSpecifier* own = setup::FindStandard(TpsContainerDestDir::StaticClass());
  if (container) {
    SetDestDirType(own);
    SetDestDir("");
  } else if (DestDirType() && Is<TpsContainerDestDir>(DestDirType())) {
    SetDestDirType(nullptr);
  }
}

void TInstallObject::SetOrder(int order) {
  TInstallContainer::SetOrder(order);
  if (IsLoading() || !container_) return;
  container_->RemoveObject(this);
  container_->AddObject(this);
}

void TInstallObject::ContainerRemoved(TInstallContainer* c) {
  TInstallContainer::ContainerRemoved(c);
  if (c == container_) container_ = nullptr;
}

void TInstallObject::InformContainer(int code, TObject* parameter) {
  if (container_) container_->DoInformationEventControl(this, code, parameter);
}

TPropInfo TInstallObject::ContainerProp() {
  return TProps<TInstallObject>::Component<TInstallContainer>(
      "Container", &TInstallObject::Container,
      [](TInstallObject& o, TInstallContainer* c) { o.SetContainer(c); });
}
