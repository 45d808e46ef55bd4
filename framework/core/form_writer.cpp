#include "framework/core/form_writer.h"

#include <charconv>
#include <cmath>
#include <set>

#include "framework/core/collection.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"

namespace {

std::string Quote(const std::string& s) {
  if (s.empty()) return "''";
  std::string out;
  bool open = false;
  for (char ch : s) {
    uint8_t c = uint8_t(ch);
    if (c >= 32 && c < 127) {
      if (!open) out += '\'';
      open = true;
      out += c == '\'' ? std::string("''") : std::string(1, ch);
    } else {
      if (open) out += '\'';
      open = false;
      out += '#' + std::to_string(c);
    }
  }
  if (open) out += '\'';
  return out;
}

std::string FloatText(double v) {
  if (!std::isfinite(v)) throw EFormError("cannot write the number " + std::to_string(v));
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  std::string s(buf, r.ptr);
  // The form grammar wants digits on both sides of the point, before any exponent.
  size_t e = s.find_first_of("eE");
  std::string mant = s.substr(0, e), exp = e == std::string::npos ? "" : s.substr(e);
  if (mant.find('.') == std::string::npos) mant += ".0";
  return mant + exp;
}

class Writer {
 public:
  explicit Writer(TComponent& root) : root_(root) {}

  std::string Run() {
    WriteObject(root_, 0);
    for (TComponent* c : root_.Components())
      if (!written_.count(c))
        throw EFormError("component " + c->Name() + " is not placed inside any object");
    return out_;
  }

 private:
  static std::string Indent(int depth) { return std::string(size_t(depth) * 2, ' '); }

  // placer: the object whose GetChildren gave obj. A child may belong to its placer
  // instead of the root (a splitter owns its panes); reading gives it to the root again.
  void WriteObject(TComponent& obj, int depth, TComponent* placer = nullptr) {
    if (&obj != &root_) {
      if (obj.Owner() != &root_ && (!placer || obj.Owner() != placer))
        throw EFormError("component " + obj.Name() + " is not owned by " + root_.Name());
      if (!written_.insert(&obj).second)
        throw EFormError("component " + obj.Name() + " is placed twice");
    }
    out_ += Indent(depth) + "object " + obj.Name() + ": " + obj.ClassName() + "\n";
    WriteProps(obj, "", depth + 1, true);
    obj.GetChildren([&](TComponent& child) { WriteObject(child, depth + 1, &obj); });
    out_ += Indent(depth) + "end\n";
  }

  void WriteProps(TPersistent& obj, const std::string& prefix, int depth, bool top) {
    for (const TPropInfo* p : obj.ClassType().AllProps()) {
      if (p->Hidden || (top && SameText(p->Name, "Name"))) continue;
      if (!IsStoredProp(obj, *p)) continue;
      std::string path = prefix + p->Name;
      if (p->Kind == TPropKind::Nested) {
        if (TPersistent* inner = std::get<TPersistent*>(p->Get(obj)))
          WriteProps(*inner, path + ".", depth, false);
        continue;
      }
      out_ += Indent(depth) + path + " = " + Value(obj, *p, depth) + "\n";
    }
  }

  std::string Value(TPersistent& obj, const TPropInfo& p, int depth) {
    switch (p.Kind) {
      case TPropKind::Int: {
        int64_t v = std::get<int64_t>(p.Get(obj));
        if (p.Type)
          for (const auto& [name, x] : p.Type->Idents)
            if (x == v) return name;
        if (p.Type && p.Type->Hex) return "$" + IntToHex(uint32_t(v), 8);
        return std::to_string(v);
      }
      case TPropKind::Char:
        return Quote(std::string(1, char(std::get<int64_t>(p.Get(obj)))));
      case TPropKind::Bool:
        return std::get<bool>(p.Get(obj)) ? "True" : "False";
      case TPropKind::Enum: {
        int64_t v = std::get<int64_t>(p.Get(obj));
        if (v < 0 || v >= int64_t(p.Type->Names.size()))
          throw EFormError("property " + p.Name + " holds no identifier of its type");
        return p.Type->Names[size_t(v)];
      }
      case TPropKind::Set: {
        uint32_t v = uint32_t(std::get<int64_t>(p.Get(obj)));
        std::string s = "[";
        for (size_t i = 0; i < p.Type->Names.size() && i < 32; ++i)
          if (v & (1u << i)) s += (s.size() > 1 ? ", " : "") + p.Type->Names[i];
        return s + "]";
      }
      case TPropKind::Float:
        return FloatText(std::get<double>(p.Get(obj)));
      case TPropKind::String:
        return Quote(std::get<std::string>(p.Get(obj)));
      case TPropKind::Binary: {
        std::string s = "{";
        TValue bytes = p.Get(obj);
        for (uint8_t b : std::get<std::vector<uint8_t>>(bytes)) s += IntToHex(b, 2);
        return s + "}";
      }
      case TPropKind::Strings: {
        auto& list = dynamic_cast<TStrings&>(*std::get<TPersistent*>(p.Get(obj)));
        std::string s = "(";
        for (int i = 0; i < list.Count(); ++i) s += "\n" + Indent(depth + 1) + Quote(list[i]);
        return s + ")";
      }
      case TPropKind::Collection: {
        auto& coll = dynamic_cast<TCollection&>(*std::get<TPersistent*>(p.Get(obj)));
        std::string saved = std::move(out_);
        out_.clear();
        for (int i = 0; i < coll.Count(); ++i) {
          out_ += "\n" + Indent(depth + 1) + "item\n";
          WriteProps(coll.Item(i), "", depth + 2, false);
          out_ += Indent(depth + 1) + "end";
        }
        std::string items = std::move(out_);
        out_ = std::move(saved);
        return "<" + items + ">";
      }
      case TPropKind::Component: {
        TComponent* c = std::get<TComponent*>(p.Get(obj));
        if (c != &root_ && c->Owner() != &root_)
          throw EFormError("property " + p.Name + " refers to " + c->Name() + " outside the form");
        return c->Name();
      }
      case TPropKind::Event: {
        std::string handler = p.HandlerName(obj);
        if (handler.empty())
          throw EFormError("event " + p.Name + " was set in code and has no handler name");
        return handler;
      }
      case TPropKind::Nested:
        break;
    }
    return {};
  }

  TComponent& root_;
  std::string out_;
  std::set<TComponent*> written_;
};

}  // namespace

std::string WriteFormText(TComponent& root) { return Writer(root).Run(); }
