#include "setup_engine/translate_controls_win32.h"

#include "framework/controls/graphctrls.h"
#include "framework/controls/listview.h"
#include "framework/win/forms.h"

namespace {

template <class T>
const TClassInfo& GlidClass(const char* name, const TClassInfo& parent) {
  using P = TProps<T>;
  static const TClassInfo info{name, &parent, Factory<T>(),
                               {P::Int("GLID", &T::GLID, &T::SetGLID).WithDefault(int64_t(0))}};
  return info;
}

// The item selection a translated list keeps.
int ItemIndexOf(TControl& c) {
  if (auto* l = dynamic_cast<TListBox*>(&c)) return l->ItemIndex();
  if (auto* b = dynamic_cast<TComboBox*>(&c)) return b->ItemIndex();
  if (auto* g = dynamic_cast<TRadioGroup*>(&c)) return g->ItemIndex();
  return -1;
}

void SetItemIndexOf(TControl& c, int index) {
  if (index == ItemIndexOf(c)) return;
  if (auto* l = dynamic_cast<TListBox*>(&c)) l->SetItemIndex(index);
  if (auto* b = dynamic_cast<TComboBox*>(&c)) b->SetItemIndex(index);
  if (auto* g = dynamic_cast<TRadioGroup*>(&c)) g->SetItemIndex(index);
}

class TWin32TranslateControls : public ITranslateControls {
 public:
  bool IsForm(TComponent& c) override { return dynamic_cast<TCustomForm*>(&c) != nullptr; }

  std::function<void()> Suspend(TComponent& c) override {
    auto* control = dynamic_cast<TControl*>(&c);
    if (!control) return nullptr;
    bool visible = control->Visible();
    // Forms and images stay as they are: an image has no text, and hiding it would flicker
    // the page's picture on every translation.
    if (!IsForm(c) && !dynamic_cast<TImage*>(control)) control->SetVisible(false);
    auto* label = dynamic_cast<TLabel*>(control);
    bool autoSize = label && label->AutoSize();
    if (label) label->SetAutoSize(false);
    int itemIndex = ItemIndexOf(*control);
    return [control, label, visible, autoSize, itemIndex] {
      SetItemIndexOf(*control, itemIndex);
      if (label) label->SetAutoSize(autoSize);
      control->SetVisible(visible);
      if (auto* w = dynamic_cast<TWinControl*>(control)) w->Realign();
    };
  }

  TStrings* MemoLines(TComponent& c) override {
    auto* memo = dynamic_cast<TMemo*>(&c);
    return memo ? &memo->Lines() : nullptr;
  }

  TStrings* Items(TComponent& c) override {
    if (auto* l = dynamic_cast<TListBox*>(&c)) return &l->Items();
    if (auto* b = dynamic_cast<TComboBox*>(&c)) return &b->Items();
    if (auto* g = dynamic_cast<TRadioGroup*>(&c)) return &g->Items();
    return nullptr;
  }

  void TranslateColumns(TComponent& c, const TTranslate& translate) override {
    auto* list = dynamic_cast<TCustomListView*>(&c);
    if (!list) return;
    TListColumns& columns = list->Columns();
    for (int i = 0; i < columns.Count(); ++i) {
      TListColumn* column = columns.Item(i);
      std::string translated = translate(column->Caption());
      if (translated != column->Caption()) column->SetCaption(translated);
    }
  }
};

void ApplyFont(TControl& c, const TLanguage& language) {
  TFont& f = c.Font();
  if (language.FontOverride()) {
    const TLanguageFont& l = language.Font();
    f.SetName(l.Name);
    f.SetHeight(l.Height);
    f.SetStyle(l.Style);
    f.SetColor(l.Color);
    f.SetCharset(l.Charset);
    f.SetPitch(TFontPitch(l.Pitch));
    return;
  }
  TKstnLanguage id = language.LanguageIdent();
  f.SetCharset(setup::LanguageCharset(id));
  f.SetName(setup::LanguageFontName(id));
  int minimum = setup::LanguageMinFontSize(id);
  if (f.Size() < minimum) f.SetSize(minimum);
}

}  // namespace

const TClassInfo& TTranslateLabel::StaticClass() {
  return GlidClass<TTranslateLabel>("TTranslateLabel", TLabel::StaticClass());
}

const TClassInfo& TTranslateBitBtn::StaticClass() {
  return GlidClass<TTranslateBitBtn>("TTranslateBitBtn", TBitBtn::StaticClass());
}

namespace setup {

void RegisterSetupControlClasses() {
  static TWin32TranslateControls controls;
  SetTranslateControls(&controls);
  RegisterClass(TTranslateLabel::StaticClass());
  RegisterClass(TTranslateBitBtn::StaticClass());
}

void SetFormFont(TWinControl& form, bool force) {
  TTranslator* t = GlobalTranslator();
  TLanguage* language = t ? t->TargetLanguage() : nullptr;
  if (!language) return;
  if (!language->HasStrings() && !force) language = t->FindLanguage(TKstnLanguage::klEnglish);
  ApplyFont(form, *language);
  ForEachControl(form, [&](TControl& c) { ApplyFont(c, *language); });
}

void SetFormFontFor(TKstnLanguage target, TWinControl& form, bool force) {
  TTranslator* t = GlobalTranslator();
  if (!t) return;
  TKstnLanguage saved = t->TranslateIntoLanguage();
  t->SetTranslateIntoLanguage(target);
  try {
    SetFormFont(form, force);
  } catch (...) {
    t->SetTranslateIntoLanguage(saved);
    throw;
  }
  t->SetTranslateIntoLanguage(saved);
}

}  // namespace setup
