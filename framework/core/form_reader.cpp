#include "framework/core/form_reader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "framework/core/collection.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"

namespace {

constexpr int kMaxDepth = 32;
constexpr size_t kMaxText = 4u << 20;

struct FormProp;

struct FormValue {
  enum Kind { Int, Float, String, Ident, Set, List, Collection, Binary } kind = Int;
  int line = 0;
  int64_t i = 0;
  double f = 0;
  std::string s;                              // String, Ident
  std::vector<std::string> idents;            // Set
  std::vector<FormValue> list;                // List
  std::vector<std::vector<FormProp>> items;   // Collection
  std::vector<uint8_t> bytes;                 // Binary
};

struct FormProp {
  std::vector<std::string> path;
  FormValue value;
  int line = 0;
};

struct FormObject {
  std::string name, className;
  int line = 0;
  std::vector<FormProp> props;
  std::vector<FormObject> children;
};

class ErrorAt {
 public:
  explicit ErrorAt(const std::string& source) : source_(source) {}
  [[noreturn]] void operator()(int line, const std::string& message) const {
    throw EFormError(source_ + "(" + std::to_string(line) + "): " + message);
  }

 private:
  const std::string& source_;
};

bool Same(const std::string& a, const char* b) { return SameText(a, b); }

class Parser {
 public:
  Parser(const std::string& text, const ErrorAt& error) : t_(text), error_(error) {}

  FormObject ParseForm() {
    Skip();
    FormObject root = ParseObject(1);
    Skip();
    if (p_ < t_.size()) error_(line_, "text after the final 'end'");
    return root;
  }

 private:
  static bool IdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  }
  static bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }
  static bool Digit(char c) { return c >= '0' && c <= '9'; }
  static int Hex(char c) {
    if (Digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void Skip() {
    while (p_ < t_.size()) {
      char c = t_[p_];
      if (c == '\n') {
        ++line_;
        ++p_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++p_;
      } else if (c == '/' && p_ + 1 < t_.size() && t_[p_ + 1] == '/') {
        while (p_ < t_.size() && t_[p_] != '\n') ++p_;
      } else {
        break;
      }
    }
  }
  char Peek() {
    Skip();
    return p_ < t_.size() ? t_[p_] : '\0';
  }
  void Expect(char c, const char* what) {
    if (Peek() != c) error_(line_, std::string("expected ") + what);
    ++p_;
  }
  bool AtIdent() { return IdentStart(Peek()); }
  std::string Ident(const char* what) {
    if (!AtIdent()) error_(line_, std::string("expected ") + what);
    size_t start = p_;
    while (p_ < t_.size() && IdentChar(t_[p_])) ++p_;
    return t_.substr(start, p_ - start);
  }
  bool AtKeyword(const char* word) {
    if (!AtIdent()) return false;
    size_t e = p_;
    while (e < t_.size() && IdentChar(t_[e])) ++e;
    return Same(t_.substr(p_, e - p_), word);
  }

  FormObject ParseObject(int depth) {
    if (depth > kMaxDepth) error_(line_, "objects nested too deeply");
    if (!AtKeyword("object")) error_(line_, "expected 'object'");
    FormObject o;
    o.line = line_;
    Ident("object");
    o.name = Ident("a component name");
    Expect(':', "':'");
    o.className = Ident("a class name");
    for (;;) {
      if (Peek() == '\0') error_(line_, "missing 'end' of " + o.name);
      if (AtKeyword("end")) {
        Ident("end");
        return o;
      }
      if (AtKeyword("object")) {
        o.children.push_back(ParseObject(depth + 1));
        continue;
      }
      o.props.push_back(ParseProperty());
    }
  }

  FormProp ParseProperty() {
    FormProp p;
    p.line = line_;
    p.path.push_back(Ident("a property name"));
    while (Peek() == '.') {
      ++p_;
      p.path.push_back(Ident("a property name"));
    }
    Expect('=', "'='");
    p.value = ParseValue();
    return p;
  }

  FormValue ParseValue() {
    char c = Peek();
    FormValue v;
    v.line = line_;
    if (c == '\'' || c == '#') {
      v.kind = FormValue::String;
      v.s = ParseString();
    } else if (c == '-' || Digit(c) || c == '$') {
      ParseNumber(v);
    } else if (IdentStart(c)) {
      v.kind = FormValue::Ident;
      v.s = Ident("a value");
    } else if (c == '[') {
      ++p_;
      v.kind = FormValue::Set;
      if (Peek() != ']') {
        v.idents.push_back(Ident("a set member"));
        while (Peek() == ',') {
          ++p_;
          v.idents.push_back(Ident("a set member"));
        }
      }
      Expect(']', "']'");
    } else if (c == '(') {
      ++p_;
      v.kind = FormValue::List;
      while (Peek() != ')') {
        char d = Peek();
        if (d == '\0') error_(line_, "missing ')'");
        if (d == '\'' || d == '#' || d == '-' || d == '$' || Digit(d) || IdentStart(d))
          v.list.push_back(ParseValue());
        else
          error_(line_, "invalid list item");
      }
      ++p_;
    } else if (c == '<') {
      ++p_;
      v.kind = FormValue::Collection;
      while (!(Peek() == '>')) {
        if (!AtKeyword("item")) error_(line_, "expected 'item' or '>'");
        Ident("item");
        std::vector<FormProp> props;
        for (;;) {
          if (Peek() == '\0') error_(line_, "missing 'end' of an item");
          if (AtKeyword("end")) {
            Ident("end");
            break;
          }
          props.push_back(ParseProperty());
        }
        v.items.push_back(std::move(props));
      }
      ++p_;
    } else if (c == '{') {
      ++p_;
      v.kind = FormValue::Binary;
      for (;;) {
        char d = Peek();
        if (d == '}') break;
        if (p_ + 1 >= t_.size() || Hex(d) < 0 || Hex(t_[p_ + 1]) < 0)
          error_(line_, "invalid binary data");
        v.bytes.push_back(uint8_t(Hex(d) * 16 + Hex(t_[p_ + 1])));
        p_ += 2;
      }
      ++p_;
    } else {
      error_(line_, c ? "invalid value" : "missing value");
    }
    return v;
  }

  // Parts written together ('a'#13'b') join, and so do parts on either side of "+"; a
  // blank between two parts separates two strings, as in a list ('Yes' 'No').
  std::string ParseString() {
    std::string out;
    bool first = true;
    for (;;) {
      char c = first ? Peek() : (p_ < t_.size() ? t_[p_] : '\0');
      if (!first && c != '\'' && c != '#' && Peek() == '+') c = '+';
      first = false;
      if (c == '\'') {
        int startLine = line_;
        ++p_;
        for (;;) {
          if (p_ >= t_.size() || t_[p_] == '\n') error_(startLine, "unterminated string");
          if (t_[p_] == '\'') {
            if (p_ + 1 < t_.size() && t_[p_ + 1] == '\'') {
              out += '\'';
              p_ += 2;
              continue;
            }
            ++p_;
            break;
          }
          out += t_[p_++];
        }
      } else if (c == '#') {
        ++p_;
        if (p_ >= t_.size() || !Digit(t_[p_])) error_(line_, "invalid character code");
        int n = 0;
        while (p_ < t_.size() && Digit(t_[p_])) {
          n = n * 10 + (t_[p_++] - '0');
          if (n > 255) error_(line_, "character code out of range");
        }
        out += char(uint8_t(n));
      } else if (c == '+') {
        ++p_;
        char d = Peek();
        if (d != '\'' && d != '#') error_(line_, "expected a string after '+'");
        first = true;
      } else {
        return out;
      }
    }
  }

  void ParseNumber(FormValue& v) {
    size_t start = p_;
    bool neg = false;
    if (t_[p_] == '-') {
      neg = true;
      ++p_;
    }
    if (p_ < t_.size() && t_[p_] == '$') {
      ++p_;
      uint64_t n = 0;
      size_t digits = 0;
      while (p_ < t_.size() && Hex(t_[p_]) >= 0) {
        n = n * 16 + uint64_t(Hex(t_[p_++]));
        if (++digits > 8) error_(line_, "number out of range");
      }
      if (!digits) error_(line_, "invalid number");
      // Hexadecimal spells a 32-bit pattern: $8000000F is the system colour, not 2^31+15.
      int64_t x = n > 0x7FFFFFFF ? int64_t(n) - (int64_t(1) << 32) : int64_t(n);
      v.kind = FormValue::Int;
      v.i = neg ? -x : x;
      return;
    }
    if (p_ >= t_.size() || !Digit(t_[p_])) error_(line_, "invalid number");
    while (p_ < t_.size() && Digit(t_[p_])) ++p_;
    bool isFloat = false;
    if (p_ + 1 < t_.size() && t_[p_] == '.' && Digit(t_[p_ + 1])) {
      isFloat = true;
      ++p_;
      while (p_ < t_.size() && Digit(t_[p_])) ++p_;
      if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
        ++p_;
        if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
        if (p_ >= t_.size() || !Digit(t_[p_])) error_(line_, "invalid number");
        while (p_ < t_.size() && Digit(t_[p_])) ++p_;
      }
    }
    std::string text = t_.substr(start, p_ - start);
    if (isFloat) {
      v.kind = FormValue::Float;
      v.f = std::strtod(text.c_str(), nullptr);
      if (!std::isfinite(v.f)) error_(line_, "number out of range");
      return;
    }
    if (text.size() > 12) error_(line_, "number out of range");
    v.kind = FormValue::Int;
    v.i = std::strtoll(text.c_str(), nullptr, 10);
  }

  const std::string& t_;
  const ErrorAt& error_;
  size_t p_ = 0;
  int line_ = 1;
};

struct Fixup {
  TPersistent* obj;
  const TPropInfo* prop;
  std::string name;
  int line;
};

class Reader {
 public:
  Reader(TComponent& root, const ErrorAt& error) : root_(root), error_(error) {}

  void Apply(const FormObject& form) {
    if (!SameText(form.className, root_.ClassName()))
      error_(form.line, "the form is of class " + form.className + ", not " + root_.ClassName());
    // A second instance of a form class under the same owner gets a name of its own.
    std::string name = form.name;
    for (int n = 1; root_.Owner() && root_.Owner()->FindComponent(name) &&
                    root_.Owner()->FindComponent(name) != &root_;
         ++n)
      name = form.name + "_" + std::to_string(n);
    Guard(form.line, [&] { root_.SetName(name); });
    root_.SetLoading();
    created_.push_back(&root_);
    try {
      ApplyObject(root_, form);
      ResolveFixups();
      BindFields(form.line);
      for (TComponent* c : created_) Guard(form.line, [&] { c->Loaded(); });
    } catch (...) {
      for (size_t i = created_.size(); i-- > 1;) created_[i]->Free();
      throw;
    }
    for (TComponent* c : created_) c->FormLoaded();
  }

 private:
  template <class F>
  void Guard(int line, F&& f) {
    try {
      f();
    } catch (const EFormError&) {
      throw;
    } catch (const std::exception& e) {
      error_(line, e.what());
    }
  }

  void ApplyObject(TComponent& obj, const FormObject& node) {
    for (const FormProp& p : node.props) SetProperty(obj, p.path, p.value, p.line);
    for (const FormObject& child : node.children) {
      const TClassInfo* cls = FindClass(child.className);
      if (!cls) error_(child.line, "unknown class " + child.className);
      if (cls->IsAbstract()) error_(child.line, "cannot create an instance of " + child.className);
      TComponent* c = nullptr;
      Guard(child.line, [&] { c = cls->Create(&root_); });
      created_.push_back(c);
      if (root_.FindComponent(child.name) != nullptr || SameText(child.name, root_.Name()))
        error_(child.line, "duplicate name " + child.name);
      Guard(child.line, [&] {
        c->SetName(child.name);
        c->SetLoading();
        obj.AdoptChild(*c);
      });
      ApplyObject(*c, child);
    }
  }

  void SetProperty(TPersistent& obj, const std::vector<std::string>& path, const FormValue& v,
                   int line) {
    TPersistent* target = &obj;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      const TPropInfo* p = target->ClassType().FindProp(path[i]);
      if (!p) error_(line, "unknown property '" + path[i] + "' of " + target->ClassName());
      if (p->Kind != TPropKind::Nested)
        error_(line, "property '" + path[i] + "' of " + target->ClassName() + " has no members");
      target = std::get<TPersistent*>(p->Get(*target));
    }
    const std::string& name = path.back();
    const TPropInfo* p = target->ClassType().FindProp(name);
    if (!p || p->Hidden) error_(line, "unknown property '" + name + "' of " + target->ClassName());
    SetValue(*target, *p, v, line);
  }

  [[noreturn]] void BadValue(const TPropInfo& p, int line) {
    error_(line, "invalid value for property '" + p.Name + "'");
  }

  int64_t IndexOfName(const TPropInfo& p, const std::string& ident, int line) {
    const auto& names = p.Type->Names;
    for (size_t i = 0; i < names.size(); ++i)
      if (SameText(names[i], ident)) return int64_t(i);
    error_(line, "unknown identifier '" + ident + "' for property '" + p.Name + "'");
  }

  static std::string ItemText(const FormValue& v) {
    if (v.kind == FormValue::Int) return std::to_string(v.i);
    return v.s;
  }

  void SetValue(TPersistent& obj, const TPropInfo& p, const FormValue& v, int line) {
    TValue value;
    switch (p.Kind) {
      case TPropKind::Int:
        if (v.kind == FormValue::Int) {
          value = v.i;
        } else if (v.kind == FormValue::Ident && p.Type) {
          bool found = false;
          for (const auto& [n, x] : p.Type->Idents)
            if (SameText(n, v.s)) {
              value = x;
              found = true;
              break;
            }
          if (!found) error_(line, "unknown identifier '" + v.s + "' for property '" + p.Name + "'");
        } else {
          BadValue(p, line);
        }
        break;
      case TPropKind::Char:
        if (v.kind == FormValue::String && v.s.size() == 1)
          value = int64_t(uint8_t(v.s[0]));
        else
          BadValue(p, line);
        break;
      case TPropKind::Bool:
        if (v.kind == FormValue::Ident && Same(v.s, "True"))
          value = true;
        else if (v.kind == FormValue::Ident && Same(v.s, "False"))
          value = false;
        else
          BadValue(p, line);
        break;
      case TPropKind::Enum:
        if (v.kind != FormValue::Ident) BadValue(p, line);
        value = IndexOfName(p, v.s, line);
        break;
      case TPropKind::Set: {
        if (v.kind != FormValue::Set) BadValue(p, line);
        int64_t mask = 0;
        for (const std::string& id : v.idents) mask |= int64_t(1) << IndexOfName(p, id, line);
        value = mask;
        break;
      }
      case TPropKind::Float:
        if (v.kind == FormValue::Float)
          value = v.f;
        else if (v.kind == FormValue::Int)
          value = double(v.i);
        else
          BadValue(p, line);
        break;
      case TPropKind::String:
        if (v.kind != FormValue::String) BadValue(p, line);
        value = v.s;
        break;
      case TPropKind::Binary:
        if (v.kind != FormValue::Binary) BadValue(p, line);
        value = v.bytes;
        break;
      case TPropKind::Strings: {
        if (v.kind != FormValue::List) BadValue(p, line);
        auto* list = dynamic_cast<TStrings*>(std::get<TPersistent*>(p.Get(obj)));
        if (!list) BadValue(p, line);
        Guard(line, [&] {
          list->BeginUpdate();
          list->Clear();
          for (const FormValue& item : v.list) list->Add(ItemText(item));
          list->EndUpdate();
        });
        return;
      }
      case TPropKind::Collection: {
        if (v.kind != FormValue::Collection) BadValue(p, line);
        auto* coll = dynamic_cast<TCollection*>(std::get<TPersistent*>(p.Get(obj)));
        if (!coll) BadValue(p, line);
        coll->Clear();
        for (const auto& item : v.items) {
          TCollectionItem* it = nullptr;
          Guard(line, [&] { it = &coll->Add(); });
          for (const FormProp& ip : item) SetProperty(*it, ip.path, ip.value, ip.line);
        }
        return;
      }
      case TPropKind::Component:
      case TPropKind::Event:
        if (v.kind != FormValue::Ident) BadValue(p, line);
        fixups_.push_back({&obj, &p, v.s, line});
        return;
      case TPropKind::Nested:
        error_(line, "property '" + p.Name + "' cannot take a value; set its members");
    }
    Guard(line, [&] { p.Set(obj, value); });
  }

  TComponent* FindInForm(const std::string& name) {
    if (SameText(name, root_.Name())) return &root_;
    return root_.FindComponent(name);
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      if (f.prop->Kind != TPropKind::Component) continue;
      TComponent* target = nullptr;
      if (!Same(f.name, "nil")) {
        target = FindInForm(f.name);
        if (!target) error_(f.line, "unresolved reference '" + f.name + "'");
        const TClassInfo* want =
            f.prop->Type && f.prop->Type->RefClass ? &f.prop->Type->RefClass() : nullptr;
        if (want && !target->InheritsFrom(*want))
          error_(f.line, f.name + " is a " + target->ClassName() + ", not a " +
                             std::string(want->Name()));
      }
      Guard(f.line, [&] { f.prop->Set(*f.obj, TValue(target)); });
    }
    const TMethodTable* methods = root_.Methods();
    for (const Fixup& f : fixups_) {
      if (f.prop->Kind != TPropKind::Event) continue;
      const TMethodTable::HandlerEntry* h = methods ? methods->FindHandler(f.name) : nullptr;
      if (!h) error_(f.line, "unknown handler '" + f.name + "' of " + root_.ClassName());
      if (h->EventType != f.prop->EventType)
        error_(f.line, "handler '" + f.name + "' does not fit event " + f.prop->Name);
      f.prop->SetEvent(*f.obj, h->Make(root_, h->Name));
    }
  }

  void BindFields(int line) {
    const TMethodTable* methods = root_.Methods();
    if (!methods) return;
    for (const TMethodTable::FieldEntry* f : methods->AllFields()) {
      TComponent* c = root_.FindComponent(f->Name);
      if (!c) error_(line, "field " + f->Name + " has no component");
      if (!f->Bind(root_, c)) error_(line, "field " + f->Name + " cannot hold a " + c->ClassName());
    }
  }

  TComponent& root_;
  const ErrorAt& error_;
  std::vector<TComponent*> created_;
  std::vector<Fixup> fixups_;
};

}  // namespace

void ReadForm(TComponent& root, const std::string& text, const std::string& sourceName) {
  ErrorAt error(sourceName);
  if (text.size() > kMaxText) error(1, "form text larger than 4 MiB");
  FormObject form = Parser(text, error).ParseForm();
  Reader(root, error).Apply(form);
}

namespace {

std::string ValueText(const FormValue& v) {
  switch (v.kind) {
    case FormValue::Int: return std::to_string(v.i);
    case FormValue::Float: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%g", v.f);
      return buf;
    }
    case FormValue::String:
    case FormValue::Ident: return v.s;
    case FormValue::Set: {
      std::string s = "[";
      for (size_t i = 0; i < v.idents.size(); ++i) s += (i ? "," : "") + v.idents[i];
      return s + "]";
    }
    case FormValue::List: {
      std::string s = "(";
      for (size_t i = 0; i < v.list.size(); ++i) s += (i ? " " : "") + ValueText(v.list[i]);
      return s + ")";
    }
    case FormValue::Binary: {
      static const char digits[] = "0123456789ABCDEF";
      std::string s;
      for (uint8_t b : v.bytes) s += std::string{digits[b >> 4], digits[b & 15]};
      return s;
    }
    case FormValue::Collection: break;
  }
  return std::string();
}

void OutlineProps(const std::vector<FormProp>& props, const std::string& prefix,
                  std::vector<std::pair<std::string, std::string>>& out) {
  for (const FormProp& p : props) {
    std::string path = prefix;
    for (size_t i = 0; i < p.path.size(); ++i) path += (i ? "." : "") + p.path[i];
    if (p.value.kind != FormValue::Collection) {
      out.emplace_back(path, ValueText(p.value));
      continue;
    }
    for (size_t i = 0; i < p.value.items.size(); ++i)
      OutlineProps(p.value.items[i], path + "[" + std::to_string(i) + "].", out);
  }
}

TFormOutline Outline(const FormObject& o) {
  TFormOutline out;
  out.Name = o.name;
  out.ClassName = o.className;
  OutlineProps(o.props, std::string(), out.Properties);
  for (const FormObject& child : o.children) out.Children.push_back(Outline(child));
  return out;
}

}  // namespace

std::string TFormOutline::Value(const std::string& path) const {
  for (const auto& [name, value] : Properties)
    if (SameText(name, path)) return value;
  return std::string();
}

TFormOutline ReadFormOutline(const std::string& text, const std::string& sourceName) {
  ErrorAt error(sourceName);
  if (text.size() > kMaxText) error(1, "form text larger than 4 MiB");
  return Outline(Parser(text, error).ParseForm());
}
