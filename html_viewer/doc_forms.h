#pragma once
// HTML forms: TDocForm collects the controls of one FORM and builds its submission; each
// TFormControlObj is the model of one INPUT, SELECT or TEXTAREA.
//
// How it works: a control keeps what the document says about it (name, value, the initial
// check mark, options or lines) and, unless it is a hidden field or an image, owns a window
// that the paint surface made for it (IControlWindow), off-screen at x = -400 until the text
// block that holds it places it. The window keeps the live state a user changes (text,
// check mark, selection), so a submission and a reset read and write the window. What the
// user does reaches the control through IControlEvents: a click on a button, radio button
// or check box, and the keys Enter, Page Up, Page Down, End and Home in a text field or text
// area. On Windows the surface is the viewer's paint panel and the windows are real controls
// (doc_controls_win32); TMemorySurface keeps the same state in memory for the tests and the
// layout driver.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html_viewer/doc_model.h"

class TSectionList;
class TSection;
class TCell;
class TDocForm;

// Keys a text field or text area reports (the Windows virtual-key numbers).
constexpr uint16_t kKeyReturn = 13, kKeyPageUp = 33, kKeyPageDown = 34, kKeyEnd = 35, kKeyHome = 36;

enum class TControlKind : uint8_t { ckEdit, ckButton, ckRadio, ckCheckBox, ckListBox, ckCombo, ckMemo };

// What a control's window is made with.
struct TControlDesc {
  TControlKind Kind = TControlKind::ckEdit;
  int Width = 0, Height = 0;
  TMyFont Font;
  std::string Text;          // an edit's text, a button's caption
  int MaxLength = 0;         // what a user may type into an edit, 0 no limit
  bool Password = false;     // an edit shows "*"
  bool MultiSelect = false;  // a list box with multiple and extended selection
  TColor Color = clNone;     // the background of a radio button's panel
};

// What a user does to a control's window.
class IControlEvents {
 public:
  virtual ~IControlEvents() = default;
  virtual void Clicked() = 0;
  // A key in a text field or text area; true when the document took it (the window then
  // does not act on it).
  virtual bool KeyPressed(uint16_t key) = 0;
};

// The window of a form control. Operations a kind has no use for do nothing.
class IControlWindow {
 public:
  virtual ~IControlWindow() = default;
  virtual TRect Bounds() const = 0;  // on the surface
  virtual void SetSize(int width, int height) = 0;
  virtual void MoveTo(int x, int y) = 0;  // and shows it
  virtual void Hide() = 0;
  virtual bool Showing() const = 0;
  virtual std::string Text() const = 0;  // a memo's lines joined with CR LF
  virtual void SetText(const std::string& text) = 0;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool on) = 0;
  virtual void SetItems(const std::vector<std::string>& items) = 0;
  virtual int ItemIndex() const = 0;  // -1 none
  virtual void SetItemIndex(int index) = 0;
  virtual bool Selected(int index) const = 0;
  virtual void SetSelected(int index, bool on) = 0;
  virtual int TopIndex() const = 0;
  virtual void SetTopIndex(int index) = 0;
  virtual void CaretToStart() = 0;
};

// The paint panel a document is painted on, as the document sees it.
class IPaintSurface {
 public:
  virtual ~IPaintSurface() = default;
  // A window for a control, at x = -400 (not in view).
  virtual std::unique_ptr<IControlWindow> CreateControl(const TControlDesc& desc, IControlEvents& events) = 0;
  virtual TRect VisibleArea() const = 0;
  virtual void Invalidate(const TRect& r) = 0;
  // A key for the viewer, as if pressed there.
  virtual void PostKey(uint16_t key) = 0;
};

// A control's window kept in memory: the state a real one would have, and what a user
// would do (Click, Press).
class TMemoryControl : public IControlWindow {
 public:
  TMemoryControl(const TControlDesc& desc, IControlEvents& events);
  const TControlDesc& Desc() const { return desc_; }
  void Click();
  bool Press(uint16_t key) { return events_.KeyPressed(key); }
  const std::vector<std::string>& Items() const { return items_; }

  TRect Bounds() const override { return bounds_; }
  void SetSize(int width, int height) override;
  void MoveTo(int x, int y) override;
  void Hide() override { showing_ = false; }
  bool Showing() const override { return showing_; }
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }
  bool Checked() const override { return checked_; }
  void SetChecked(bool on) override { checked_ = on; }
  void SetItems(const std::vector<std::string>& items) override;
  int ItemIndex() const override { return itemIndex_; }
  void SetItemIndex(int index) override;
  bool Selected(int index) const override;
  void SetSelected(int index, bool on) override;
  int TopIndex() const override { return topIndex_; }
  void SetTopIndex(int index) override { topIndex_ = index; }
  void CaretToStart() override { caret_ = 0; }
  int Caret() const { return caret_; }

 private:
  TControlDesc desc_;
  IControlEvents& events_;
  TRect bounds_;
  bool showing_ = true;
  std::string text_;
  bool checked_ = false;
  std::vector<std::string> items_;
  std::vector<bool> selected_;
  int itemIndex_ = -1, topIndex_ = 0;
  int caret_ = 0;
};

class TMemorySurface : public IPaintSurface {
 public:
  explicit TMemorySurface(TRect visible = {0, 0, 600, 400}) : visible_(visible) {}
  std::unique_ptr<IControlWindow> CreateControl(const TControlDesc& desc, IControlEvents& events) override;
  TRect VisibleArea() const override { return visible_; }
  void SetVisibleArea(const TRect& r) { visible_ = r; }
  void Invalidate(const TRect& r) override { Invalidated.push_back(r); }
  void PostKey(uint16_t key) override { PostedKeys.push_back(key); }

  std::vector<TRect> Invalidated;
  std::vector<uint16_t> PostedKeys;

 private:
  TRect visible_;
};

// ---- The controls

class TFormControlObj : protected IControlEvents {
 public:
  TFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  ~TFormControlObj() override;
  TFormControlObj(const TFormControlObj&) = delete;
  TFormControlObj& operator=(const TFormControlObj&) = delete;

  int Position;
  TSectionList& List;
  TDocForm* Form;
  std::string Value, Name;
  bool Shown = false;  // placed during the paint since the last scroll

  // Paints a picture of the control (printing).
  virtual void PrintPicture(IDocCanvas& canvas, int x, int y);
  // Puts the control back to its initial state.
  virtual void Restore() {}
  // The index-th pair of the submission ("name=value"); false when there are no more.
  virtual bool SubmissionPair(int index, std::string& text);
  // Sizes the window for the document's fonts.
  virtual void FitSize(ITextMeasurer&) {}
  // The kind as the layout driver names it.
  virtual const char* KindName() const = 0;
  // The mouse moved to (x, y) of the control's picture (image controls).
  virtual void MouseAt(int, int) {}

  IControlWindow* Window() const { return window_.get(); }
  bool HasWindow() const { return window_ != nullptr; }
  int Width() const { return window_ ? window_->Bounds().Width() : 0; }
  int Height() const { return window_ ? window_->Bounds().Height() : 0; }
  // Places the window at (x, y) of the surface and marks it shown; printing, paints it.
  void Show(IDocCanvas& canvas, int x, int y);
  // Where the window belongs at the current scroll position (null rectangle: never placed).
  TRect Place() const;

 protected:
  void MakeWindow(const TControlDesc& desc);
  void Clicked() override {}
  bool KeyPressed(uint16_t) override { return false; }
  // The page keys go to the viewer, so the page scrolls.
  bool PostPageKey(uint16_t key);
  std::unique_ptr<IControlWindow> window_;

 private:
  bool placed_ = false;
  int placeX_ = 0, placeY_ = 0;  // document coordinates
};

class TImageFormControlObj : public TFormControlObj {
 public:
  TImageFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  bool SubmissionPair(int index, std::string& text) override;
  const char* KindName() const override { return "image"; }
  void MouseAt(int x, int y) override { LastX = x, LastY = y; }
  // A click on the picture: the last mouse position is submitted.
  void ImageClicked();

  int XPos = -1, YPos = 0;  // -1: not clicked
  int LastX = 0, LastY = 0;
  TImageObj* Image = nullptr;
};

class THiddenFormControlObj : public TFormControlObj {
 public:
  using TFormControlObj::TFormControlObj;
  bool SubmissionPair(int index, std::string& text) override;
  const char* KindName() const override { return "hidden"; }
};

class TEditFormControlObj : public TFormControlObj {
 public:
  TEditFormControlObj(TSectionList& list, const TAttributeList& attributes, int position, bool password);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  void FitSize(ITextMeasurer& measurer) override;
  const char* KindName() const override { return password_ ? "password" : "text"; }

  int Size = 20;  // in characters

 protected:
  bool KeyPressed(uint16_t key) override;

 private:
  TMyFont font_;
  bool password_;
};

class TButtonFormControlObj : public TFormControlObj {
 public:
  enum TWhich : uint8_t { bSubmit = 0, bReset = 1 };
  TButtonFormControlObj(TSectionList& list, const TAttributeList& attributes, int position, TWhich which);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void FitSize(ITextMeasurer& measurer) override;
  const char* KindName() const override { return Which == bSubmit ? "submit" : "reset"; }

  TWhich Which;

 protected:
  void Clicked() override;
};

class TRadioButtonFormControlObj : public TFormControlObj {
 public:
  TRadioButtonFormControlObj(TSectionList& list, const TAttributeList& attributes, int position, TCell* cell);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  const char* KindName() const override { return "radio"; }

  bool InitiallyChecked;
  TCell* Cell;  // the cell it stands in (its colour shows around the button)

 protected:
  void Clicked() override;
};

class TCheckBoxFormControlObj : public TFormControlObj {
 public:
  TCheckBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  const char* KindName() const override { return "checkbox"; }

  bool InitiallyChecked;
};

struct TOptionObj {
  std::string Text, Value;  // the display text; the value (empty: the text is submitted)
  bool Selected = false;
};

class TListBoxFormControlObj : public TFormControlObj {
 public:
  TListBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  void FitSize(ITextMeasurer& measurer) override;
  const char* KindName() const override { return "listbox"; }
  void AddOption(const std::string& text, const std::string& value, bool selected);

  std::vector<TOptionObj> Options;
  int Rows = -1;     // visible rows, -1: from the option count
  int Longest = 3;   // the longest option text
  bool Multiple = false;

 protected:
  // A combo box is a list box in all but its window.
  TListBoxFormControlObj(TSectionList& list, const TAttributeList& attributes, int position, bool combo);
  std::string PairText(int option) const;
  TMyFont font_;
};

class TComboFormControlObj : public TListBoxFormControlObj {
 public:
  TComboFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  void FitSize(ITextMeasurer& measurer) override;
  const char* KindName() const override { return "combo"; }
};

class TTextAreaFormControlObj : public TFormControlObj {
 public:
  TTextAreaFormControlObj(TSectionList& list, const TAttributeList& attributes, int position);
  void PrintPicture(IDocCanvas& canvas, int x, int y) override;
  void Restore() override;
  bool SubmissionPair(int index, std::string& text) override;
  void FitSize(ITextMeasurer& measurer) override;
  const char* KindName() const override { return "textarea"; }
  void AddLine(const std::string& line) { Lines.push_back(line); }

  std::vector<std::string> Lines;
  int Rows = 5, Cols = 30;

 protected:
  bool KeyPressed(uint16_t key) override;

 private:
  TMyFont font_;
};

// ---- The form

class TDocForm {
 public:
  // A form of the list (which owns it): METHOD (its first 4 characters) and ACTION.
  static TDocForm& Create(TSectionList& list, const TAttributeList& attributes);

  TSectionList& List;
  std::string Method = "Get", Action;
  std::vector<std::unique_ptr<TFormControlObj>> Controls;
  int NonHiddenCount = 0;

  void AddControl(std::unique_ptr<TFormControlObj> control);
  // Unchecks the form's other radio buttons of that name (ignoring case).
  void UncheckSiblings(const TRadioButtonFormControlObj& radio);
  void ResetAll();
  void SizeControls(ITextMeasurer& measurer);
  // The pairs of every control, then the button's, to the list's submit handler (nothing
  // happens without one).
  void Submit(const std::string* buttonPair);

 private:
  explicit TDocForm(TSectionList& list) : List(list) {}
};

enum class TFormElement : uint8_t { feInput, feSelect, feTextArea };

// Makes the control an INPUT (by its TYPE), SELECT or TEXTAREA stands for, in the list's
// current form (an implicit one when none is open), and puts it into the text block: an
// image control as an image, a hidden field nowhere, the others as a control byte. cell is
// the cell the block stands in.
TFormControlObj* InsertFormControl(TSection& section, TSectionList& list, TCell* cell, TFormElement element,
                                   const TAttributeList& attributes);
