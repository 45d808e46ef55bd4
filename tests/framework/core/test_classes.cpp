#include "test_classes.h"

#include "framework/core/color.h"
#include "tests/support/file_bytes.h"

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

namespace {
const TTypeInfo kShapes{{"shCircle", "shSquare", "shTriangle"}, {}};
const TTypeInfo kStyles{{"fsBold", "fsItalic", "fsUnderline"}, {}};
const TTypeInfo kWidth{{}, {}, nullptr, 0, 5000};
}  // namespace

const TClassInfo& TTestFont::StaticClass() {
  using P = TProps<TTestFont>;
  static const TClassInfo info{
      "TTestFont", &TPersistent::StaticClass(), nullptr,
      {P::Str("Name", [](const TTestFont& f) { return f.FaceName; },
              [](TTestFont& f, std::string v) { f.FaceName = std::move(v); }),
       P::Int("Size", [](const TTestFont& f) { return f.Size; }, [](TTestFont& f, int v) { f.Size = v; })
           .WithDefault(int64_t(8)),
       P::Set("Style", &kStyles, [](const TTestFont& f) { return f.Style; },
              [](TTestFont& f, uint32_t v) { f.Style = v; })}};
  return info;
}

const TClassInfo& TTestEntry::StaticClass() {
  using P = TProps<TTestEntry>;
  static const TClassInfo info{
      "TTestEntry", &TCollectionItem::StaticClass(), nullptr,
      {P::Str("Ident", [](const TTestEntry& e) { return e.Ident; },
              [](TTestEntry& e, std::string v) { e.Ident = std::move(v); }),
       P::Int("Value", [](const TTestEntry& e) { return e.Value; },
              [](TTestEntry& e, int v) { e.Value = v; })}};
  return info;
}

const TClassInfo& TTestItem::StaticClass() {
  using P = TProps<TTestItem>;
  static const TClassInfo info{
      "TTestItem", &TComponent::StaticClass(), Factory<TTestItem>(),
      {P::Str("Caption", [](const TTestItem& i) { return i.Caption; }, &TTestItem::SetCaption),
       P::Int("Width", [](const TTestItem& i) { return i.Width; }, [](TTestItem& i, int v) { i.Width = v; },
              &kWidth)
           .WithDefault(int64_t(10)),
       P::Int("Color", [](const TTestItem& i) { return i.Color; }, [](TTestItem& i, int v) { i.Color = v; },
              &ColorTypeInfo()),
       P::Char("Mark", [](const TTestItem& i) { return i.Mark; }, [](TTestItem& i, char v) { i.Mark = v; }),
       P::Bool("Checked", [](const TTestItem& i) { return i.Checked; },
               [](TTestItem& i, bool v) { i.Checked = v; })
           .WithDefault(false),
       P::Enum<TShape>("Shape", &kShapes, [](const TTestItem& i) { return i.Shape; },
                       [](TTestItem& i, TShape v) { i.Shape = v; }),
       P::Set("Sides", &kShapes, [](const TTestItem& i) { return i.Sides; },
              [](TTestItem& i, uint32_t v) { i.Sides = v; }),
       P::Float("Ratio", [](const TTestItem& i) { return i.Ratio; },
                [](TTestItem& i, double v) { i.Ratio = v; }),
       P::Binary("Data", [](const TTestItem& i) { return i.Data; },
                 [](TTestItem& i, std::vector<uint8_t> v) { i.Data = std::move(v); }),
       P::Nested("Font", [](TTestItem& i) -> TPersistent& { return i.Font; }),
       P::Strings("Items", [](TTestItem& i) -> TPersistent& { return i.Items; }),
       P::Collection("Entries", [](TTestItem& i) -> TPersistent& { return i.Entries; }),
       P::Component<TTestItem>("Buddy", [](const TTestItem& i) { return i.Buddy.Get(); },
                               [](TTestItem& i, TTestItem* b) {
                                 Log().push_back("set Buddy of " + i.Name());
                                 i.Buddy = b;
                               }),
       P::Event("OnClick", &TTestItem::OnClick)}};
  return info;
}

TTestItem::TTestItem(TComponent* owner) : TComponent(owner) { Log().push_back("create"); }
TTestItem::~TTestItem() { Log().push_back("destroy " + Name()); }

void TTestItem::SetCaption(std::string c) {
  Log().push_back("caption " + c + (IsLoading() ? " loading" : ""));
  Caption = std::move(c);
}
void TTestItem::Loaded() {
  TComponent::Loaded();
  Log().push_back("loaded " + Name());
}
void TTestItem::FormLoaded() { Log().push_back("formloaded " + Name()); }
void TTestItem::AdoptChild(TComponent& child) { Kids.push_back(&child); }
void TTestItem::GetChildren(const std::function<void(TComponent&)>& fn) const {
  for (TComponent* k : Kids) fn(*k);
}

const TClassInfo& TTestLeaf::StaticClass() {
  static const TClassInfo info{"TTestLeaf", &TComponent::StaticClass(), Factory<TTestLeaf>(), {}};
  return info;
}

const TClassInfo& TTestForm::StaticClass() {
  static const TClassInfo info{"TTestForm", &TTestItem::StaticClass(), Factory<TTestForm>(), {}};
  return info;
}

const TMethodTable* TTestForm::Methods() const {
  static const TMethodTable t = TMethodTable::Of<TTestForm>()
                                    .Field("Button1", &TTestForm::Button1)
                                    .Handler<TNotifyEvent>("Button1Click", &TTestForm::Button1Click)
                                    .Handler<TCloseQueryEvent>("FormKey", &TTestForm::FormKey);
  return &t;
}

void TTestForm::Button1Click(TObject*) { ++clicks; }
void TTestForm::FormKey(TObject*, bool&) {}

void RegisterTestClasses() {
  RegisterClass(TTestItem::StaticClass());
  RegisterClass(TTestForm::StaticClass());
  RegisterClass(TTestLeaf::StaticClass());
}

std::string ReadCorpusFile(const std::string& name) {
  return testsupport::ReadExistingText(std::string(FORMS_DIR) + "/" + name);
}
