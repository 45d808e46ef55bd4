#include "html_viewer/doc_forms.h"

#include <algorithm>

#include "framework/core/strings.h"
#include "framework/core/sysutils.h"
#include "html_viewer/doc_cell.h"

namespace {

// The font of controls that name none (buttons, check marks), and of lists and text areas.
TMyFont ControlFont(int size) {
  TMyFont f;
  f.Name = "MS Sans Serif";
  f.Size = f.NominalSize = size;
  return f;
}

int WidthOfA(ITextMeasurer& m, const TMyFont& f) { return m.TextWidth(f, "A", 1); }
int HeightOfA(ITextMeasurer& m, const TMyFont& f) { return m.Metrics(f).TmHeight; }

// A number attribute: absent or at most 0 gives the default, more than cap gives cap.
int Bounded(const TAttributeList& attributes, uint8_t symbol, int def, int cap) {
  const TAttribute* a = attributes.Lookup(symbol);
  if (!a || a->Value <= 0) return def;
  return std::min(a->Value, cap);
}

std::vector<std::string> SplitLines(const std::string& text) {
  TStringList l;
  l.SetText(text);
  std::vector<std::string> lines;
  for (int i = 0; i < l.Count(); ++i) lines.push_back(l.Get(i));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? "\r\n" : "") + lines[i];
  return s;
}

// A white box with a 3D edge, as printed controls are drawn.
void FramedBox(IDocCanvas& canvas, const TRect& r, bool raised) {
  canvas.FillRect(r, clWhite);
  Draw3DFrame(canvas, r, raised, clBtnShadow, clSilver);
}

// Lines of text from the top of the box, as many as fit.
void TextLines(IDocCanvas& canvas, ITextMeasurer& m, const TMyFont& font, const TRect& box,
               const std::vector<std::string>& lines) {
  TFontMetrics metrics = m.Metrics(font);
  canvas.SetClip(&box);
  int y = box.Top + 2;
  for (const std::string& line : lines) {
    if (y + metrics.Height > box.Bottom) break;
    canvas.TextOut(box.Left + 4, y + metrics.Height - metrics.Descent, font, clBlack, line.data(), int(line.size()),
                   false, clWhite);
    y += metrics.Height;
  }
  canvas.SetClip(nullptr);
}

}  // namespace

// ---- Windows in memory

TMemoryControl::TMemoryControl(const TControlDesc& desc, IControlEvents& events)
    : desc_(desc), events_(events), bounds_(::Bounds(-400, 0, desc.Width, desc.Height)), text_(desc.Text) {}

void TMemoryControl::Click() {
  if (desc_.Kind == TControlKind::ckCheckBox) checked_ = !checked_;
  if (desc_.Kind == TControlKind::ckRadio) checked_ = true;
  events_.Clicked();
}

void TMemoryControl::SetSize(int width, int height) { bounds_ = ::Bounds(bounds_.Left, bounds_.Top, width, height); }

void TMemoryControl::MoveTo(int x, int y) {
  bounds_ = ::Bounds(x, y, bounds_.Width(), bounds_.Height());
  showing_ = true;
}

void TMemoryControl::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  selected_.assign(items.size(), false);
  itemIndex_ = -1;
  topIndex_ = 0;
}

void TMemoryControl::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < int(items_.size()) ? index : -1;
  if (!desc_.MultiSelect) std::fill(selected_.begin(), selected_.end(), false);
  if (itemIndex_ >= 0) selected_[size_t(itemIndex_)] = true;
}

bool TMemoryControl::Selected(int index) const {
  return index >= 0 && index < int(selected_.size()) && selected_[size_t(index)];
}

void TMemoryControl::SetSelected(int index, bool on) {
  if (index < 0 || index >= int(selected_.size())) return;
  if (!desc_.MultiSelect) {
    SetItemIndex(on ? index : -1);
    return;
  }
  selected_[size_t(index)] = on;
}

std::unique_ptr<IControlWindow> TMemorySurface::CreateControl(const TControlDesc& desc, IControlEvents& events) {
  return std::make_unique<TMemoryControl>(desc, events);
}

// ---- TFormControlObj

TFormControlObj::TFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : Position(position), List(list) {
  if (!list.CurrentForm) list.CurrentForm = &TDocForm::Create(list, TAttributeList());
  Form = list.CurrentForm;
  if (const TAttribute* a = attributes.Lookup(ValueSy)) Value = a->Name;
  if (const TAttribute* a = attributes.Lookup(NameSy)) Name = a->Name;
}

TFormControlObj::~TFormControlObj() = default;

void TFormControlObj::PrintPicture(IDocCanvas&, int, int) {}

bool TFormControlObj::SubmissionPair(int, std::string&) { return false; }

void TFormControlObj::MakeWindow(const TControlDesc& desc) {
  window_ = List.Surface().CreateControl(desc, *this);
}

void TFormControlObj::Show(IDocCanvas& canvas, int x, int y) {
  if (List.Printing) {
    PrintPicture(canvas, x, y);
    return;
  }
  if (!window_) return;
  window_->MoveTo(x, y);
  Shown = true;
  placed_ = true;
  placeX_ = x;
  placeY_ = y + List.YOffset;
}

TRect TFormControlObj::Place() const {
  if (!placed_ || !window_) return {};
  TRect b = window_->Bounds();
  return Bounds(placeX_, placeY_ - List.YOffset, b.Width(), b.Height());
}

bool TFormControlObj::PostPageKey(uint16_t key) {
  if (key != kKeyPageUp && key != kKeyPageDown && key != kKeyEnd && key != kKeyHome) return false;
  List.Surface().PostKey(key);
  return true;
}

// ---- Image and hidden fields

TImageFormControlObj::TImageFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : TFormControlObj(list, attributes, position) {}

void TImageFormControlObj::ImageClicked() {
  XPos = LastX;
  YPos = LastY;
  Form->Submit(nullptr);
}

bool TImageFormControlObj::SubmissionPair(int index, std::string& text) {
  if (XPos < 0 || index > 1) return false;
  std::string prefix = Name.empty() ? "" : Name + ".";
  if (index == 0) {
    text = prefix + "x=" + IntToStr(XPos);
  } else {
    text = prefix + "y=" + IntToStr(YPos);
    XPos = -1;
  }
  return true;
}

bool THiddenFormControlObj::SubmissionPair(int index, std::string& text) {
  if (index != 0) return false;
  text = Name + "=" + Value;
  return true;
}

// ---- Text fields

TEditFormControlObj::TEditFormControlObj(TSectionList& list, const TAttributeList& attributes, int position,
                                         bool password)
    : TFormControlObj(list, attributes, position), password_(password) {
  Size = Bounded(attributes, SizeSy, 20, 500);
  font_ = ControlFont(10);
  font_.Name = list.FontName;
  TControlDesc desc;
  desc.Kind = TControlKind::ckEdit;
  desc.Width = 120, desc.Height = 20;
  desc.Font = font_;
  desc.Text = Value;
  if (const TAttribute* a = attributes.Lookup(MaxLengthSy); a && a->Value > 0) desc.MaxLength = a->Value;
  desc.Password = password;
  MakeWindow(desc);
}

void TEditFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  TRect box = Bounds(x, y, Width(), Height());
  FramedBox(canvas, box, false);
  std::string text = password_ ? std::string(window_->Text().size(), '*') : window_->Text();
  TFontMetrics m = List.Measurer().Metrics(font_);
  canvas.SetClip(&box);
  canvas.TextOut(x + 4, y + (box.Height() - m.Height) / 2 + m.Height - m.Descent, font_, clBlack, text.data(),
                 int(text.size()), false, clWhite);
  canvas.SetClip(nullptr);
}

void TEditFormControlObj::Restore() { window_->SetText(Value); }

bool TEditFormControlObj::SubmissionPair(int index, std::string& text) {
  if (index != 0) return false;
  text = Name + "=" + window_->Text();
  return true;
}

void TEditFormControlObj::FitSize(ITextMeasurer& measurer) {
  window_->SetSize(WidthOfA(measurer, font_) * Size + 5, Height());
}

bool TEditFormControlObj::KeyPressed(uint16_t key) {
  if (key == kKeyReturn) {
    // Enter submits a form whose only visible control this is.
    if (Form->NonHiddenCount != 1) return false;
    Form->Submit(nullptr);
    return true;
  }
  return PostPageKey(key);
}

// ---- Buttons

TButtonFormControlObj::TButtonFormControlObj(TSectionList& list, const TAttributeList& attributes, int position,
                                             TWhich which)
    : TFormControlObj(list, attributes, position), Which(which) {
  if (!attributes.Lookup(ValueSy)) Value = which == bSubmit ? "Submit" : "Reset";
  TControlDesc desc;
  desc.Kind = TControlKind::ckButton;
  desc.Width = 75, desc.Height = 25;
  desc.Font = ControlFont(8);
  desc.Text = Value;
  MakeWindow(desc);
}

void TButtonFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  TRect box = Bounds(x, y, Width(), Height());
  FramedBox(canvas, box, true);
  TMyFont f = ControlFont(8);
  ITextMeasurer& m = List.Measurer();
  TFontMetrics metrics = m.Metrics(f);
  int w = m.TextWidth(f, Value.data(), int(Value.size()));
  canvas.SetClip(&box);
  canvas.TextOut(x + (box.Width() - w) / 2, y + (box.Height() - metrics.Height) / 2 + metrics.Height - metrics.Descent,
                 f, clBlack, Value.data(), int(Value.size()), false, clWhite);
  canvas.SetClip(nullptr);
}

void TButtonFormControlObj::FitSize(ITextMeasurer& measurer) {
  TMyFont f = ControlFont(8);
  window_->SetSize(measurer.TextWidth(f, Value.data(), int(Value.size())) + 20, measurer.Metrics(f).TmHeight + 8);
}

void TButtonFormControlObj::Clicked() {
  if (Which == bReset) {
    Form->ResetAll();
    return;
  }
  if (Name.empty()) {
    Form->Submit(nullptr);
  } else {
    std::string pair = Name + "=" + Value;
    Form->Submit(&pair);
  }
}

// ---- Radio buttons and check boxes

TRadioButtonFormControlObj::TRadioButtonFormControlObj(TSectionList& list, const TAttributeList& attributes,
                                                       int position, TCell* cell)
    : TFormControlObj(list, attributes, position), InitiallyChecked(attributes.Lookup(CheckedSy)), Cell(cell) {
  TControlDesc desc;
  desc.Kind = TControlKind::ckRadio;
  desc.Width = 13, desc.Height = 14;
  desc.Font = ControlFont(8);
  desc.Color = cell && cell->BgGiven ? cell->BgColor : list.Background;
  MakeWindow(desc);
  window_->SetChecked(InitiallyChecked);
}

void TRadioButtonFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  FramedBox(canvas, Bounds(x, y, 14, 14), false);
  if (window_->Checked()) canvas.FillRect(Bounds(x + 5, y + 5, 4, 4), clBlack);
}

void TRadioButtonFormControlObj::Restore() { window_->SetChecked(InitiallyChecked); }

bool TRadioButtonFormControlObj::SubmissionPair(int index, std::string& text) {
  if (index != 0 || !window_->Checked()) return false;
  text = Name + "=" + Value;
  return true;
}

void TRadioButtonFormControlObj::Clicked() { Form->UncheckSiblings(*this); }

TCheckBoxFormControlObj::TCheckBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : TFormControlObj(list, attributes, position), InitiallyChecked(attributes.Lookup(CheckedSy)) {
  if (!attributes.Lookup(ValueSy)) Value = "On";
  TControlDesc desc;
  desc.Kind = TControlKind::ckCheckBox;
  desc.Width = 13, desc.Height = 13;
  desc.Font = ControlFont(8);
  MakeWindow(desc);
  window_->SetChecked(InitiallyChecked);
}

void TCheckBoxFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  FramedBox(canvas, Bounds(x, y, 13, 13), false);
  if (window_->Checked()) {
    canvas.Line(x + 3, y + 6, x + 5, y + 9, clBlack);
    canvas.Line(x + 5, y + 9, x + 10, y + 3, clBlack);
  }
}

void TCheckBoxFormControlObj::Restore() { window_->SetChecked(InitiallyChecked); }

bool TCheckBoxFormControlObj::SubmissionPair(int index, std::string& text) {
  if (index != 0 || !window_->Checked()) return false;
  text = Name + "=" + Value;
  return true;
}

// ---- Lists

TListBoxFormControlObj::TListBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : TListBoxFormControlObj(list, attributes, position, false) {}

TListBoxFormControlObj::TListBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position,
                                               bool combo)
    : TFormControlObj(list, attributes, position), font_(ControlFont(10)) {
  Rows = Bounded(attributes, SizeSy, -1, 500);
  Multiple = !combo && attributes.Lookup(MultipleSy);
  TControlDesc desc;
  desc.Kind = combo ? TControlKind::ckCombo : TControlKind::ckListBox;
  desc.Width = 120, desc.Height = combo ? 21 : 80;
  desc.Font = font_;
  desc.MultiSelect = Multiple;
  MakeWindow(desc);
}

void TListBoxFormControlObj::AddOption(const std::string& text, const std::string& value, bool selected) {
  Options.push_back({text, value, selected});
  Longest = std::max(Longest, int(text.size()));
}

std::string TListBoxFormControlObj::PairText(int option) const {
  const TOptionObj& o = Options[size_t(option)];
  return Name + "=" + (o.Value.empty() ? o.Text : o.Value);
}

void TListBoxFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  TRect box = Bounds(x, y, Width(), Height());
  FramedBox(canvas, box, false);
  std::vector<std::string> visible;
  for (size_t i = size_t(std::max(window_->TopIndex(), 0)); i < Options.size(); ++i) visible.push_back(Options[i].Text);
  TextLines(canvas, List.Measurer(), font_, box, visible);
}

void TListBoxFormControlObj::Restore() {
  std::vector<std::string> texts;
  for (const TOptionObj& o : Options) texts.push_back(o.Text);
  window_->SetItems(texts);
  if (Multiple) {
    for (size_t i = 0; i < Options.size(); ++i) window_->SetSelected(int(i), Options[i].Selected);
  } else if (!Options.empty()) {
    int current = 0;
    for (size_t i = 0; i < Options.size(); ++i)
      if (Options[i].Selected) current = int(i);
    window_->SetItemIndex(current);
  }
  window_->SetTopIndex(0);
}

bool TListBoxFormControlObj::SubmissionPair(int index, std::string& text) {
  if (index < 0 || index >= int(Options.size())) return false;
  text = window_->Selected(index) ? PairText(index) : "";
  return true;
}

void TListBoxFormControlObj::FitSize(ITextMeasurer& measurer) {
  if (Rows == -1) Rows = std::clamp(int(Options.size()), 1, 8);
  window_->SetSize(WidthOfA(measurer, font_) * Longest + 15, HeightOfA(measurer, font_) * Rows);
}

TComboFormControlObj::TComboFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : TListBoxFormControlObj(list, attributes, position, true) {}

void TComboFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  TRect box = Bounds(x, y, Width(), Height());
  FramedBox(canvas, box, false);
  int i = window_->ItemIndex();
  TextLines(canvas, List.Measurer(), font_, box,
            i >= 0 && i < int(Options.size()) ? std::vector<std::string>{Options[size_t(i)].Text}
                                              : std::vector<std::string>{});
}

void TComboFormControlObj::Restore() {
  std::vector<std::string> texts;
  for (const TOptionObj& o : Options) texts.push_back(o.Text);
  window_->SetItems(texts);
  if (Options.empty()) return;
  int current = 0;
  for (size_t i = 0; i < Options.size(); ++i)
    if (Options[i].Selected) current = int(i);
  window_->SetItemIndex(current);
}

bool TComboFormControlObj::SubmissionPair(int index, std::string& text) {
  int current = window_->ItemIndex();
  if (index != 0 || current < 0 || current >= int(Options.size())) return false;
  text = PairText(current);
  return true;
}

void TComboFormControlObj::FitSize(ITextMeasurer& measurer) {
  window_->SetSize(WidthOfA(measurer, ControlFont(8)) * Longest + 30, Height());
}

// ---- Text areas

TTextAreaFormControlObj::TTextAreaFormControlObj(TSectionList& list, const TAttributeList& attributes, int position)
    : TFormControlObj(list, attributes, position), font_(ControlFont(10)) {
  Rows = Bounded(attributes, RowsSy, 5, 100);
  Cols = Bounded(attributes, ColsSy, 30, 500);
  TControlDesc desc;
  desc.Kind = TControlKind::ckMemo;
  desc.Width = 185, desc.Height = 89;
  desc.Font = font_;
  MakeWindow(desc);
}

void TTextAreaFormControlObj::PrintPicture(IDocCanvas& canvas, int x, int y) {
  TRect box = Bounds(x, y, Width(), Height());
  FramedBox(canvas, box, false);
  TextLines(canvas, List.Measurer(), font_, box, SplitLines(window_->Text()));
}

void TTextAreaFormControlObj::Restore() {
  window_->SetText(JoinLines(Lines));
  window_->CaretToStart();
}

bool TTextAreaFormControlObj::SubmissionPair(int index, std::string& text) {
  std::vector<std::string> lines = SplitLines(window_->Text());
  if (index < 0 || index >= int(lines.size())) return false;
  text = Name + "=" + lines[size_t(index)];
  return true;
}

void TTextAreaFormControlObj::FitSize(ITextMeasurer& measurer) {
  window_->SetSize(WidthOfA(measurer, font_) * Cols + 5, HeightOfA(measurer, font_) * Rows + 5);
}

bool TTextAreaFormControlObj::KeyPressed(uint16_t key) { return PostPageKey(key); }

// ---- TDocForm

TDocForm& TDocForm::Create(TSectionList& list, const TAttributeList& attributes) {
  auto form = std::unique_ptr<TDocForm>(new TDocForm(list));
  if (const TAttribute* a = attributes.Lookup(MethodSy)) form->Method = a->Name.substr(0, 4);
  if (const TAttribute* a = attributes.Lookup(ActionSy)) form->Action = a->Name;
  list.Forms.push_back(std::move(form));
  return *list.Forms.back();
}

void TDocForm::AddControl(std::unique_ptr<TFormControlObj> control) {
  if (!dynamic_cast<THiddenFormControlObj*>(control.get())) ++NonHiddenCount;
  Controls.push_back(std::move(control));
}

void TDocForm::UncheckSiblings(const TRadioButtonFormControlObj& radio) {
  for (auto& c : Controls)
    if (c.get() != &radio && dynamic_cast<TRadioButtonFormControlObj*>(c.get()) && SameText(c->Name, radio.Name))
      c->Window()->SetChecked(false);
}

void TDocForm::ResetAll() {
  for (auto& c : Controls) c->Restore();
}

void TDocForm::SizeControls(ITextMeasurer& measurer) {
  for (auto& c : Controls) c->FitSize(measurer);
}

void TDocForm::Submit(const std::string* buttonPair) {
  if (!List.OnFormSubmit) return;
  std::vector<std::string> results;
  for (auto& c : Controls) {
    std::string text;
    for (int i = 0; c->SubmissionPair(i, text); ++i) {
      if (!text.empty()) results.push_back(text);
      text.clear();
    }
  }
  if (buttonPair) results.push_back(*buttonPair);
  List.OnFormSubmit(Action, Method, results);
}

// ---- Making controls

namespace {

template <class T, class... Args>
T* NewControl(TSectionList& list, Args&&... args) {
  auto control = std::make_unique<T>(list, std::forward<Args>(args)...);
  T* c = control.get();
  c->Form->AddControl(std::move(control));
  list.FormControls.push_back(c);
  return c;
}

}  // namespace

TFormControlObj* InsertFormControl(TSection& section, TSectionList& list, TCell* cell, TFormElement element,
                                   const TAttributeList& attributes) {
  int position = int(section.Buffer().size());
  TFormControlObj* control = nullptr;
  if (element == TFormElement::feSelect) {
    const TAttribute* size = attributes.Lookup(SizeSy);
    if (attributes.Lookup(MultipleSy) || (size && size->Value > 1))
      control = NewControl<TListBoxFormControlObj>(list, attributes, position);
    else
      control = NewControl<TComboFormControlObj>(list, attributes, position);
  } else if (element == TFormElement::feTextArea) {
    control = NewControl<TTextAreaFormControlObj>(list, attributes, position);
  } else {
    const TAttribute* typeAttr = attributes.Lookup(TypeSy);
    std::string type = typeAttr ? LowerCase(typeAttr->Name) : "";
    if (type == "submit" || type == "reset") {
      control = NewControl<TButtonFormControlObj>(
          list, attributes, position, type == "submit" ? TButtonFormControlObj::bSubmit : TButtonFormControlObj::bReset);
    } else if (type == "radio") {
      control = NewControl<TRadioButtonFormControlObj>(list, attributes, position, cell);
    } else if (type == "checkbox") {
      control = NewControl<TCheckBoxFormControlObj>(list, attributes, position);
    } else if (type == "hidden") {
      return NewControl<THiddenFormControlObj>(list, attributes, position);
    } else if (type == "image") {
      auto* image = NewControl<TImageFormControlObj>(list, attributes, position);
      if (section.InsertImage(attributes)) {
        TImageObj& picture = section.Images().Image(section.Images().Count() - 1);
        picture.Control = image;
        image->Image = &picture;
      }
      return image;
    } else {
      control = NewControl<TEditFormControlObj>(list, attributes, position, type == "password");
    }
  }
  section.InsertControl(control);
  return control;
}
