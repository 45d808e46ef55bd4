#pragma once
// The object model. TObject carries its class (TClassInfo: name, parent, factory, published
// properties); TPersistent adds Assign; TComponent adds an owner that frees what it owns,
// a case-insensitive unique Name, Tag, ComponentState and notifications.
//
// Components are made with `new T(owner)` and freed with Free(), never with delete. Free()
// marks the object and everything it owns as destroying, calls BeforeDestruction() (where a
// windowed control destroys its window with the full object alive), frees the owned
// components last first, leaves its owner, tells the owner, its siblings and every
// component that asked for free notification (TLink members clear themselves first), and
// only then runs the C++ destructors. A component that must go while such a walk runs calls
// ReleaseLater(); the queue is drained when the outermost walk ends, or by ProcessReleases().
//
// Classes are registered explicitly (RegisterClass) and found by name (FindClass).
#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "framework/core/events.h"
#include "framework/core/exceptions.h"
#include "framework/core/published.h"

class TObject;
class TComponent;
class TMethodTable;

class TClassInfo {
 public:
  using Factory = std::function<TComponent*(TComponent* owner)>;
  TClassInfo(std::string name, const TClassInfo* parent, Factory factory, TPropTable props,
             std::string formResource = {});
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  std::string_view Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  bool InheritsFrom(const TClassInfo& other) const;
  bool IsAbstract() const { return !factory_; }
  // Constructs, then calls AfterConstruction (a form reads its resource there); a failure
  // there frees the new object. Abstract classes throw EComponentError.
  TComponent* Create(TComponent* owner) const;
  const TPropTable& Props() const { return props_; }  // own entries only
  // This class's entry or the nearest ancestor's; null when none has it.
  const TPropInfo* FindProp(std::string_view name) const;
  // Every entry, base classes first; an entry declared again by a subclass replaces the
  // inherited one in its place.
  std::vector<const TPropInfo*> AllProps() const;
  std::string_view FormResource() const { return formResource_; }

 private:
  std::string name_;
  const TClassInfo* parent_;
  Factory factory_;
  TPropTable props_;
  std::string formResource_;
};

template <class T>
TClassInfo::Factory Factory() {
  return [](TComponent* owner) -> TComponent* { return new T(owner); };
}

void RegisterClass(const TClassInfo& info);  // another class of the same name: EComponentError
const TClassInfo* FindClass(std::string_view name);  // case-insensitive; null when unknown
void UnregisterAllClasses();                         // for tests
std::vector<const TClassInfo*> RegisteredClasses();  // by name

#define FW_CLASS(T, Base)                                               \
 public:                                                               \
  static const TClassInfo& StaticClass();                              \
  const TClassInfo& ClassType() const override { return StaticClass(); } \
                                                                       \
 private:

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return std::string(ClassType().Name()); }
  bool InheritsFrom(const TClassInfo& info) const { return ClassType().InheritsFrom(info); }
};

template <class T>
bool Is(const TObject* obj) {
  return dynamic_cast<const T*>(obj) != nullptr;
}
template <class T>
T* As(TObject* obj) {
  if (!obj) return nullptr;
  T* t = dynamic_cast<T*>(obj);
  if (!t) throw EInvalidCast("Invalid class typecast");
  return t;
}

class TPersistent : public TObject {
  FW_CLASS(TPersistent, TObject)

 public:
  // Copies src into this object; by default asks src.AssignTo(*this), else EConvertError.
  virtual void Assign(const TPersistent& src);

 protected:
  virtual bool AssignTo(TPersistent& dest) const;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : uint32_t { csLoading = 1, csReading = 2, csDestroying = 4 };

class TLinkBase;

class TComponent : public TPersistent {
  FW_CLASS(TComponent, TPersistent)

 public:
  explicit TComponent(TComponent* owner);
  void Free();
  // Frees this component once the running notification walk (or the current idle step)
  // is over.
  void ReleaseLater();
  static void ProcessReleases();

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return comps_; }
  int ComponentCount() const { return int(comps_.size()); }
  int ComponentIndex() const;
  TComponent* FindComponent(std::string_view name) const;
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name);  // EComponentError when invalid or taken
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  uint32_t ComponentState() const { return state_; }
  bool IsLoading() const { return state_ & csLoading; }
  bool IsDestroying() const { return state_ & csDestroying; }
  void SetLoading();  // the form reader marks each component it creates

  virtual void Loaded();      // clears csLoading; overrides call the base first
  virtual void FormLoaded() {}  // after every component of the form has loaded
  virtual void Notification(TComponent* component, TOperation operation);
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  // The form reader hands each nested object to its enclosing one; components that hold
  // children (windowed controls, menus) override this. The default refuses.
  virtual void AdoptChild(TComponent& child);
  // The components written nested inside this one.
  virtual void GetChildren(const std::function<void(TComponent&)>& fn) const;
  // The field and handler table of a form class; null for classes without one.
  virtual const TMethodTable* Methods() const { return nullptr; }

 protected:
  ~TComponent() override;
  // Runs once the constructor is done, when made through TClassInfo::Create.
  virtual void AfterConstruction() {}
  // The first step of Free(), before anything is marked destroying (a form's OnDestroy).
  virtual void DoDestroy() {}
  virtual void BeforeDestruction() {}
  void Destroying();

 private:
  friend class TLinkBase;
  friend class TClassInfo;
  void Insert(TComponent* c);
  void Remove(TComponent* c);
  void NotifyRemoval(TComponent* going);
  static bool IsValidIdent(const std::string& s);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> comps_;
  std::vector<TComponent*> freeNotifies_;
  std::vector<TLinkBase*> links_;
  std::string name_;
  int tag_ = 0;
  uint32_t state_ = 0;
};

// Visits root's components and their components, depth first, in insertion order.
void ForEachComponent(TComponent& root, const std::function<void(TComponent&)>& fn);

// A reference member of `self` to another component; cleared when the target goes.
class TLinkBase {
 public:
  explicit TLinkBase(TComponent* self) : self_(self) { self_->links_.push_back(this); }
  TLinkBase(const TLinkBase&) = delete;
  TLinkBase& operator=(const TLinkBase&) = delete;
  ~TLinkBase();

 protected:
  void Assign(TComponent* target);
  TComponent* target_ = nullptr;

 private:
  friend class TComponent;
  TComponent* self_;
};

template <class T>
class TLink : public TLinkBase {
 public:
  using TLinkBase::TLinkBase;
  T* Get() const { return static_cast<T*>(target_); }
  T* operator->() const { return Get(); }
  explicit operator bool() const { return target_ != nullptr; }
  TLink& operator=(T* target) {
    Assign(target);
    return *this;
  }
};

// Holds an ownerless component and frees it.
struct TFreeDeleter {
  void operator()(TComponent* c) const { c->Free(); }
};
template <class T>
using TOwned = std::unique_ptr<T, TFreeDeleter>;

// A form class's fields (pointers to its components, bound by name after loading) and its
// handlers (methods that events in the form text name).
class TMethodTable {
 public:
  struct HandlerEntry {
    std::string Name;
    std::type_index EventType;
    std::function<std::any(TComponent& root, const std::string& name)> Make;
  };
  struct FieldEntry {
    std::string Name;
    std::function<bool(TComponent& root, TComponent* component)> Bind;  // false: wrong class
  };

  template <class F>
  static TMethodTable Of(const TMethodTable* parent = nullptr) {
    TMethodTable t;
    t.parent_ = parent;
    return t;
  }
  template <class F, class C>
  TMethodTable&& Field(std::string name, C* F::*member) && {
    fields_.push_back({std::move(name), [member](TComponent& root, TComponent* comp) {
                         C* c = dynamic_cast<C*>(comp);
                         if (!c) return false;
                         static_cast<F&>(root).*member = c;
                         return true;
                       }});
    return std::move(*this);
  }
  template <class Ev, class F, class R, class... A>
  TMethodTable&& Handler(std::string name, R (F::*method)(A...)) && {
    handlers_.push_back({std::move(name), typeid(Ev),
                         [method](TComponent& root, const std::string& n) -> std::any {
                           F* f = &static_cast<F&>(root);
                           return Ev([f, method](A... a) { return (f->*method)(a...); }, n);
                         }});
    return std::move(*this);
  }
  const HandlerEntry* FindHandler(std::string_view name) const;
  const FieldEntry* FindField(std::string_view name) const;
  std::vector<const FieldEntry*> AllFields() const;

 private:
  const TMethodTable* parent_ = nullptr;
  std::vector<HandlerEntry> handlers_;
  std::vector<FieldEntry> fields_;
};
