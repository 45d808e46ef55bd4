#pragma once
// Published-property descriptors. Each class keeps a table of its own entries, chained to
// its parent's through TClassInfo, so enumeration and the form reader see every inherited
// property. A descriptor gets and sets through a TValue; Nested and Strings entries hand
// out the owned object, Component entries a reference, Event entries carry their own
// setter (a bound handler travels as std::any) and the delegate type they accept.
#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

class TPersistent;
class TComponent;
class TClassInfo;

enum class TPropKind { Int, Char, Bool, Enum, Set, Float, String, Nested, Strings, Collection,
                       Binary, Component, Event };

using TValue = std::variant<std::monostate, int64_t, bool, double, std::string,
                            std::vector<uint8_t>, TPersistent*, TComponent*>;

// Identifier names of enums and sets (in declared order) and integer identifier maps.
struct TTypeInfo {
  std::vector<std::string> Names;                        // Enum, Set
  std::vector<std::pair<std::string, int64_t>> Idents;   // Int: "clBtnFace", "mrOk"
  const TClassInfo& (*RefClass)() = nullptr;             // Component (fetched late: a class may refer to itself)
  int64_t Min = INT32_MIN, Max = INT32_MAX;              // Int range
  bool Hex = false;                                      // Int: written as $XXXXXXXX
};

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::Int;
  const TTypeInfo* Type = nullptr;
  std::function<TValue(const TPersistent&)> Get;
  std::function<void(TPersistent&, const TValue&)> Set;
  std::function<bool(const TPersistent&)> Stored;
  std::optional<TValue> Default;
  bool Hidden = false;
  // Events only.
  std::type_index EventType = typeid(void);
  std::function<void(TPersistent&, const std::any&)> SetEvent;
  std::function<std::any(const TPersistent&)> GetEvent;  // the delegate, as SetEvent takes it
  std::function<std::string(const TPersistent&)> HandlerName;
  std::function<bool(const TPersistent&)> Assigned;

  TPropInfo&& WithDefault(const TValue& v) && {
    Default.emplace(v);
    return std::move(*this);
  }
  TPropInfo&& WithStored(std::function<bool(const TPersistent&)> s) && {
    Stored = std::move(s);
    return std::move(*this);
  }
  TPropInfo&& WithType(const TTypeInfo* t) && { Type = t; return std::move(*this); }
  // A class that does not publish an inherited property declares it again, hidden: the
  // reader and the writer then neither take nor give it.
  TPropInfo&& AsHidden() && {
    Hidden = true;
    return std::move(*this);
  }
};

using TPropTable = std::vector<TPropInfo>;

// Visits every non-hidden published entry of obj, base class entries first. Nested
// objects are walked into (path "Font.Name", owner = the nested object) after their own
// entry is reported; Strings and Collection entries are reported, not walked.
using TPropVisitor =
    std::function<void(TPersistent& owner, const TPropInfo& prop, const std::string& path)>;
void ForEachProperty(TPersistent& obj, const TPropVisitor& visit);

// Whether the writer stores prop of obj: not when its Stored rule says no, nor when it
// equals its Default (always, without a default); empty lists, empty collections, nil
// references and unassigned events are never written.
bool IsStoredProp(const TPersistent& obj, const TPropInfo& prop);

// Copies every property of src that the writer would store onto dst, an object of the same
// class: values and references as they are, Nested objects property by property, Strings
// and Collections through Assign, events as copies of their delegates. Name, TabOrder and
// the names in except (compared without case) are left alone.
void CopyProperties(const TPersistent& src, TPersistent& dst, const std::vector<std::string>& except = {});

// Builders for the entries of class T: members or lambdas for the getter and setter.
template <class T>
struct TProps {
  static const T& C(const TPersistent& p) { return static_cast<const T&>(p); }
  static TPropInfo Entry(std::string name, TPropKind kind, const TTypeInfo* type = nullptr) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = kind;
    p.Type = type;
    return p;
  }
  static T& M(TPersistent& p) { return static_cast<T&>(p); }

  static TPropInfo Int(std::string name, std::function<int(const T&)> get,
                       std::function<void(T&, int)> set, const TTypeInfo* type = nullptr) {
    TPropInfo p = Entry(std::move(name), TPropKind::Int, type);
    p.Get = [get](const TPersistent& o) { return TValue(int64_t(get(C(o)))); };
    p.Set = [set, type](TPersistent& o, const TValue& v) {
      int64_t n = std::get<int64_t>(v);
      int64_t lo = type ? type->Min : INT32_MIN, hi = type ? type->Max : INT32_MAX;
      if (n < lo || n > hi) throw std::out_of_range("value out of range");
      set(M(o), int(n));
    };
    return p;
  }
  static TPropInfo Char(std::string name, std::function<char(const T&)> get,
                        std::function<void(T&, char)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Char);
    p.Get = [get](const TPersistent& o) { return TValue(int64_t(uint8_t(get(C(o))))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), char(std::get<int64_t>(v))); };
    return p;
  }
  static TPropInfo Bool(std::string name, std::function<bool(const T&)> get,
                        std::function<void(T&, bool)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Bool);
    p.Get = [get](const TPersistent& o) { return TValue(get(C(o))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), std::get<bool>(v)); };
    return p;
  }
  // An enum class E whose identifiers type->Names lists in declared order.
  template <class E>
  static TPropInfo Enum(std::string name, const TTypeInfo* type, std::function<E(const T&)> get,
                        std::function<void(T&, E)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Enum, type);
    p.Get = [get](const TPersistent& o) { return TValue(int64_t(get(C(o)))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), E(std::get<int64_t>(v))); };
    return p;
  }
  // A bit mask: bit i is type->Names[i].
  static TPropInfo Set(std::string name, const TTypeInfo* type,
                       std::function<uint32_t(const T&)> get,
                       std::function<void(T&, uint32_t)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Set, type);
    p.Get = [get](const TPersistent& o) { return TValue(int64_t(get(C(o)))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), uint32_t(std::get<int64_t>(v))); };
    return p;
  }
  static TPropInfo Float(std::string name, std::function<double(const T&)> get,
                         std::function<void(T&, double)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Float);
    p.Get = [get](const TPersistent& o) { return TValue(get(C(o))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), std::get<double>(v)); };
    return p;
  }
  static TPropInfo Str(std::string name, std::function<std::string(const T&)> get,
                       std::function<void(T&, std::string)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::String);
    p.Get = [get](const TPersistent& o) { return TValue(get(C(o))); };
    p.Set = [set](TPersistent& o, const TValue& v) { set(M(o), std::get<std::string>(v)); };
    return p;
  }
  static TPropInfo Binary(std::string name, std::function<std::vector<uint8_t>(const T&)> get,
                          std::function<void(T&, std::vector<uint8_t>)> set) {
    TPropInfo p = Entry(std::move(name), TPropKind::Binary);
    p.Get = [get](const TPersistent& o) { return TValue(get(C(o))); };
    p.Set = [set](TPersistent& o, const TValue& v) {
      set(M(o), std::get<std::vector<uint8_t>>(v));
    };
    return p;
  }
  // An owned object read in place: Nested (any persistent), Strings (a TStrings) or
  // Collection (a TCollection).
  static TPropInfo Owned(TPropKind kind, std::string name,
                         std::function<TPersistent&(T&)> get) {
    TPropInfo p = Entry(std::move(name), kind);
    p.Get = [get](const TPersistent& o) {
      return TValue(&get(const_cast<T&>(C(o))));
    };
    return p;
  }
  static TPropInfo Nested(std::string name, std::function<TPersistent&(T&)> get) {
    return Owned(TPropKind::Nested, std::move(name), std::move(get));
  }
  static TPropInfo Strings(std::string name, std::function<TPersistent&(T&)> get) {
    return Owned(TPropKind::Strings, std::move(name), std::move(get));
  }
  static TPropInfo Collection(std::string name, std::function<TPersistent&(T&)> get) {
    return Owned(TPropKind::Collection, std::move(name), std::move(get));
  }
  // A reference to a component of class R (or derived) of the same form.
  template <class R>
  static TPropInfo Component(std::string name, std::function<R*(const T&)> get,
                             std::function<void(T&, R*)> set) {
    static const TTypeInfo type{{}, {}, &R::StaticClass};
    TPropInfo p = Entry(std::move(name), TPropKind::Component, &type);
    p.Get = [get](const TPersistent& o) { return TValue(static_cast<TComponent*>(get(C(o)))); };
    p.Set = [set](TPersistent& o, const TValue& v) {
      TComponent* c = std::get<TComponent*>(v);
      set(M(o), c ? dynamic_cast<R*>(c) : nullptr);
    };
    return p;
  }
  // A TEvent<...> data member of T or of a base class of T.
  template <class Ev, class B>
  static TPropInfo Event(std::string name, Ev B::*member) {
    TPropInfo p = Entry(std::move(name), TPropKind::Event);
    p.EventType = typeid(Ev);
    p.SetEvent = [member](TPersistent& o, const std::any& e) {
      M(o).*member = std::any_cast<const Ev&>(e);
    };
    p.GetEvent = [member](const TPersistent& o) { return std::any(C(o).*member); };
    p.HandlerName = [member](const TPersistent& o) { return (C(o).*member).HandlerName(); };
    p.Assigned = [member](const TPersistent& o) { return bool(C(o).*member); };
    return p;
  }
};
