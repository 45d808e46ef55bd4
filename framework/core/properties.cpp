#include <string>

#include "framework/core/collection.h"
#include "framework/core/object.h"
#include "framework/core/strings.h"

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
