#include "framework/core/object.h"

#include <algorithm>
#include <map>

#include "framework/core/sysutils.h"

namespace {

std::map<std::string, const TClassInfo*>& Registry() {
  static std::map<std::string, const TClassInfo*> r;
  return r;
}

// Depth of the notification walks in progress, and what waits for the last one to end.
int walkDepth = 0;
std::vector<TComponent*>& ReleaseQueue() {
  static std::vector<TComponent*> q;
  return q;
}

void Erase(std::vector<TComponent*>& v, TComponent* c) {
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}

}  // namespace

TClassInfo::TClassInfo(std::string name, const TClassInfo* parent, Factory factory,
                       TPropTable props, std::string formResource)
    : name_(std::move(name)),
      parent_(parent),
      factory_(std::move(factory)),
      props_(std::move(props)),
      formResource_(std::move(formResource)) {}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == &other) return true;
  return false;
}

TComponent* TClassInfo::Create(TComponent* owner) const {
  if (!factory_) throw EComponentError("Cannot create an instance of the abstract class " + name_);
  TComponent* c = factory_(owner);
  try {
    c->AfterConstruction();
  } catch (...) {
    c->Free();
    throw;
  }
  return c;
}

const TPropInfo* TClassInfo::FindProp(std::string_view name) const {
  std::string n(name);
  for (const TClassInfo* c = this; c; c = c->parent_)
    for (const TPropInfo& p : c->props_)
      if (SameText(p.Name, n)) return &p;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->parent_) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->props_) {
      // A class may declare an inherited property again (a new default): it takes the
      // base entry's place.
      auto same = std::find_if(out.begin(), out.end(),
                               [&](const TPropInfo* q) { return SameText(q->Name, p.Name); });
      if (same != out.end())
        *same = &p;
      else
        out.push_back(&p);
    }
  return out;
}

void RegisterClass(const TClassInfo& info) {
  auto& r = Registry();
  auto [it, fresh] = r.emplace(LowerCase(std::string(info.Name())), &info);
  if (!fresh && it->second != &info)
    throw EComponentError("A class named " + std::string(info.Name()) + " already exists");
}

const TClassInfo* FindClass(std::string_view name) {
  auto& r = Registry();
  auto it = r.find(LowerCase(std::string(name)));
  return it == r.end() ? nullptr : it->second;
}

void UnregisterAllClasses() { Registry().clear(); }

std::vector<const TClassInfo*> RegisteredClasses() {
  std::vector<const TClassInfo*> out;
  for (const auto& [name, info] : Registry()) out.push_back(info);
  return out;
}

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info{"TObject", nullptr, nullptr, {}};
  return info;
}

const TClassInfo& TPersistent::StaticClass() {
  static const TClassInfo info{"TPersistent", &TObject::StaticClass(), nullptr, {}};
  return info;
}

void TPersistent::Assign(const TPersistent& src) {
  if (!src.AssignTo(*this))
    throw EConvertError("Cannot assign a " + src.ClassName() + " to a " + ClassName());
}

bool TPersistent::AssignTo(TPersistent&) const { return false; }

const TClassInfo& TComponent::StaticClass() {
  using P = TProps<TComponent>;
  static const TClassInfo info{
      "TComponent", &TPersistent::StaticClass(), Factory<TComponent>(),
      {P::Str("Name", &TComponent::Name, &TComponent::SetName),
       P::Int("Tag", &TComponent::Tag, &TComponent::SetTag).WithDefault(int64_t(0))}};
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() = default;

void TComponent::Destroying() {
  if (state_ & csDestroying) return;
  state_ |= csDestroying;
  for (TComponent* c : comps_) c->Destroying();
}

void TComponent::Free() {
  DoDestroy();
  Destroying();
  BeforeDestruction();
  while (!comps_.empty()) comps_.back()->Free();
  ++walkDepth;
  TComponent* owner = owner_;
  if (owner) owner->Remove(this);
  std::vector<TComponent*> told;
  auto tell = [&](TComponent* c) {
    if (c == this || std::find(told.begin(), told.end(), c) != told.end()) return;
    told.push_back(c);
    c->NotifyRemoval(this);
  };
  if (owner) {
    tell(owner);
    std::vector<TComponent*> siblings = owner->comps_;
    for (TComponent* c : siblings)
      if (std::find(owner->comps_.begin(), owner->comps_.end(), c) != owner->comps_.end())
        tell(c);
  }
  std::vector<TComponent*> watchers = freeNotifies_;
  for (TComponent* c : watchers) Erase(c->freeNotifies_, this);
  for (TComponent* c : watchers)
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), c) != freeNotifies_.end()) tell(c);
  for (TLinkBase* l : links_) {
    l->target_ = nullptr;
    l->self_ = nullptr;
  }
  links_.clear();
  Erase(ReleaseQueue(), this);
  --walkDepth;
  delete this;
  if (walkDepth == 0) ProcessReleases();
}

void TComponent::ReleaseLater() {
  auto& q = ReleaseQueue();
  if (std::find(q.begin(), q.end(), this) == q.end()) q.push_back(this);
  if (walkDepth == 0) ProcessReleases();
}

void TComponent::ProcessReleases() {
  auto& q = ReleaseQueue();
  while (!q.empty()) {
    TComponent* c = q.front();
    q.erase(q.begin());
    c->Free();
  }
}

void TComponent::NotifyRemoval(TComponent* going) {
  for (TLinkBase* l : links_)
    if (l->target_ == going) l->target_ = nullptr;
  Erase(freeNotifies_, going);
  Notification(going, opRemove);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::FreeNotification(TComponent* other) {
  if (!other || other == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
    freeNotifies_.push_back(other);
  if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) ==
      other->freeNotifies_.end())
    other->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (!other) return;
  Erase(freeNotifies_, other);
  Erase(other->freeNotifies_, this);
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& v = owner_->comps_;
  return int(std::find(v.begin(), v.end(), this) - v.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  std::string n(name);
  for (TComponent* c : comps_)
    if (SameText(c->name_, n)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (!c || c->owner_ == this) return;
  if (!c->name_.empty() && FindComponent(c->name_))
    throw EComponentError("A component named " + c->name_ + " already exists");
  if (c->owner_) c->owner_->RemoveComponent(c);
  Insert(c);
  Notification(c, opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
  if (!c || c->owner_ != this) return;
  Notification(c, opRemove);
  Remove(c);
}

void TComponent::Insert(TComponent* c) {
  comps_.push_back(c);
  c->owner_ = this;
}

void TComponent::Remove(TComponent* c) {
  Erase(comps_, c);
  c->owner_ = nullptr;
}

bool TComponent::IsValidIdent(const std::string& s) {
  if (s.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(s[0])) return false;
  for (char c : s)
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError("'" + name + "' is not a valid component name");
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError("A component named " + name + " already exists");
  }
  name_ = name;
}

void TComponent::SetLoading() { state_ |= csLoading; }

void TComponent::Loaded() { state_ &= ~uint32_t(csLoading); }

void TComponent::AdoptChild(TComponent& child) {
  throw EComponentError(ClassName() + " cannot contain " + child.ClassName());
}

void TComponent::GetChildren(const std::function<void(TComponent&)>&) const {}

void ForEachComponent(TComponent& root, const std::function<void(TComponent&)>& fn) {
  std::vector<TComponent*> comps = root.Components();
  for (TComponent* c : comps) {
    fn(*c);
    ForEachComponent(*c, fn);
  }
}

TLinkBase::~TLinkBase() {
  if (!self_) return;
  auto& v = self_->links_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void TLinkBase::Assign(TComponent* target) {
  if (target == target_) return;
  target_ = target;
  if (target && self_) self_->FreeNotification(target);
}

const TMethodTable::HandlerEntry* TMethodTable::FindHandler(std::string_view name) const {
  std::string n(name);
  for (const TMethodTable* t = this; t; t = t->parent_)
    for (const HandlerEntry& h : t->handlers_)
      if (SameText(h.Name, n)) return &h;
  return nullptr;
}

const TMethodTable::FieldEntry* TMethodTable::FindField(std::string_view name) const {
  std::string n(name);
  for (const TMethodTable* t = this; t; t = t->parent_)
    for (const FieldEntry& f : t->fields_)
      if (SameText(f.Name, n)) return &f;
  return nullptr;
}

std::vector<const TMethodTable::FieldEntry*> TMethodTable::AllFields() const {
  std::vector<const FieldEntry*> out;
  for (const TMethodTable* t = this; t; t = t->parent_)
    for (const FieldEntry& f : t->fields_) out.push_back(&f);
  return out;
}
