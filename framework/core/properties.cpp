#include <algorithm>
#include <string>

#include "framework/core/collection.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"

namespace {

void Walk(TPersistent& obj, const TPropVisitor& visit, const std::string& prefix) {
  for (const TPropInfo* p : obj.ClassType().AllProps()) {
    if (p->Hidden) continue;
    std::string path = prefix + p->Name;
    visit(obj, *p, path);
    if (p->Kind == TPropKind::Nested)
      if (TPersistent* inner = std::get<TPersistent*>(p->Get(obj))) Walk(*inner, visit, path + ".");
  }
}

}  // namespace

void ForEachProperty(TPersistent& obj, const TPropVisitor& visit) { Walk(obj, visit, ""); }

bool IsStoredProp(const TPersistent& obj, const TPropInfo& prop) {
  if (prop.Stored && !prop.Stored(obj)) return false;
  switch (prop.Kind) {
    case TPropKind::Event:
      return prop.Assigned && prop.Assigned(obj);
    case TPropKind::Nested:
      return true;
    case TPropKind::Strings:
      if (auto* list = dynamic_cast<TStrings*>(std::get<TPersistent*>(prop.Get(obj))))
        return list->Count() > 0;
      return false;
    case TPropKind::Collection:
      if (auto* coll = dynamic_cast<TCollection*>(std::get<TPersistent*>(prop.Get(obj))))
        return coll->Count() > 0;
      return false;
    case TPropKind::Component:
      return std::get<TComponent*>(prop.Get(obj)) != nullptr;
    default:
      break;
  }
  return !prop.Default || prop.Get(obj) != *prop.Default;
}

namespace {

void Copy(const TPersistent& src, TPersistent& dst, const std::vector<std::string>& except, bool top) {
  for (const TPropInfo* p : src.ClassType().AllProps()) {
    if (p->Hidden || (top && (SameText(p->Name, "Name") || SameText(p->Name, "TabOrder")))) continue;
    if (std::any_of(except.begin(), except.end(), [&](const std::string& e) { return SameText(e, p->Name); }))
      continue;
    if (!IsStoredProp(src, *p)) continue;
    switch (p->Kind) {
      case TPropKind::Event:
        if (p->GetEvent && p->SetEvent) p->SetEvent(dst, p->GetEvent(src));
        break;
      case TPropKind::Nested: {
        TPersistent* from = std::get<TPersistent*>(p->Get(src));
        TPersistent* to = std::get<TPersistent*>(p->Get(dst));
        if (from && to) Copy(*from, *to, {}, false);
        break;
      }
      case TPropKind::Strings:
      case TPropKind::Collection: {
        TPersistent* from = std::get<TPersistent*>(p->Get(src));
        TPersistent* to = std::get<TPersistent*>(p->Get(dst));
        if (from && to) to->Assign(*from);
        break;
      }
      default:
        if (p->Set) p->Set(dst, p->Get(src));
        break;
    }
  }
}

}  // namespace

void CopyProperties(const TPersistent& src, TPersistent& dst, const std::vector<std::string>& except) {
  if (&src.ClassType() != &dst.ClassType())
    throw EConvertError("Cannot copy the properties of a " + std::string(src.ClassType().Name()) + " to a " +
                        std::string(dst.ClassType().Name()));
  Copy(src, dst, except, true);
}
