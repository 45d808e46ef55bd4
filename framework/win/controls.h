#pragma once
// Controls over Win32. A TControl keeps every property (bounds, text, colour, font,
// visibility) in the object; a TWinControl also owns a window, created lazily: on the
// first Handle() call, or when its parent's window is made. CreateParams fills a
// TCreateParams that subclasses edit; our own classes register a window class named
// after the C++ class, and system controls are superclassed under our class name (the
// "BUTTON" class re-registered as "TButton" with our procedure, the original kept as the
// default handler), so a driver in another process sees our names. Each window carries
// its object (window property "FwObj", bound at the window's first message) and its
// component name as a global atom (property "FwName").
//
// One window procedure serves every window, behind the exception firewall. It calls the
// virtual WndProc, which handles what the class needs and passes the rest to
// DefaultHandler (the superclassed procedure or DefWindowProcA). Notifications a child
// sends its parent (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, owner-draw messages, scroll
// messages) go back to the child object as CN_BASE + message, by a virtual call.
//
// A TGraphicControl has no window: its parent paints it after its own background,
// clipped to it, and forwards mouse messages to it. A TCustomControl has a window and a
// Canvas for its virtual Paint. Free() destroys the window in BeforeDestruction, while
// the derived object is whole, so item-deletion notifications reach live objects.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/color.h"
#include "framework/core/events.h"
#include "framework/core/geometry.h"
#include "framework/core/object.h"
#include "framework/win/graphics.h"
#include "framework/win/messages.h"
#include "framework/win/winapi.h"

class TWinControl;
class TCustomForm;
class TPopupMenu;
struct IDropTarget;

// The one window procedure of every framework window.
LRESULT CALLBACK FwWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
const TTypeInfo& AlignTypeInfo();

using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                  crUpArrow = -10, crHourGlass = -11, crNo = -18, crAppStart = -19,
                  crHelp = -20, crHandPoint = -21, crHSplit = -14, crVSplit = -15;
const TTypeInfo& CursorTypeInfo();

using TMouseEvent =
    TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, char& Key)>;
// The full paths of files dropped from the shell (WM_DROPFILES), in the order it gives them.
using TDropFilesEvent = TEvent<void(TObject* Sender, const std::vector<std::string>& Files)>;

// Behaviour flags of a control class.
using TControlStyle = uint32_t;
constexpr TControlStyle csAcceptsControls = 1;  // nested objects in form text become children
constexpr TControlStyle csClickEvents = 2;      // a left click over it fires Click()

class TControl : public TComponent {
  FW_CLASS(TControl, TComponent)

 public:
  explicit TControl(TComponent* owner);

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The nearest form up the parent chain (this control when it is one); null when none.
  TCustomForm* ParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);

  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint) { hint_ = std::move(hint); }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c) { cursor_ = c; }
  // Shown on a right click and a keyboard menu request while its AutoPopup is set.
  TPopupMenu* PopupMenu() const;
  void SetPopupMenu(TPopupMenu* menu);

  // Caption and Text are the same string: the window text of a windowed control.
  virtual std::string Text() const { return text_; }
  virtual void SetText(const std::string& text);
  std::string Caption() const { return Text(); }
  void SetCaption(const std::string& text) { SetText(text); }

  virtual void Invalidate();
  virtual void Update();
  void Repaint();
  virtual void BringToFront();
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  TControlStyle ControlStyle() const { return style_; }

  // Whether user events may fire: not while loading or destroying.
  bool EventsAllowed() const { return !(ComponentState() & (csLoading | csDestroying)); }
  // Enter or Esc offered by the form (focused: this control has the focus); true when
  // the control acted on it. Buttons click themselves here.
  virtual bool DialogKeyFor(uint16_t, bool /*focused*/) { return false; }
  // Alt+letter offered by the form; true when the control took it.
  virtual bool DialogCharFor(char) { return false; }

  // Sends a message straight to WndProc (no Win32 call in between).
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
  virtual void WndProc(TMessage& m);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  ~TControl() override;
  void SetControlStyle(TControlStyle s) { style_ = s; }
  // Sets the flag alone, before any window exists (forms and pop-ups start hidden).
  void InitVisible(bool v) { visible_ = v; }

  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void DefaultHandler(TMessage&) {}

  // Change hooks; the base versions pass inherited fonts and colours down.
  virtual void BoundsChanged(bool resized);
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void ParentShowHintChanged();

  void BeforeDestruction() override;

  std::string text_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

 private:
  friend class TWinControl;

  TWinControl* parent_ = nullptr;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  TFont font_;
  bool parentFont_ = true;
  bool inheriting_ = false;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TControlStyle style_ = 0;
  bool mouseDown_ = false;
  TLink<TPopupMenu> popupMenu_{this};
};

struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  UINT ClassStyle = CS_DBLCLKS;
  std::string WinClassName;  // the class registered for this control
  std::string SysClassName;  // the system class superclassed under that name, if any
};

class TWinControl : public TControl {
  FW_CLASS(TWinControl, TControl)

 public:
  explicit TWinControl(TComponent* owner);

  // The window, created on first use (with its parent's, which creates all children).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys and recreates the window (a style that needs it changed); text, bounds,
  // visibility and list items survive.
  void RecreateWnd();
  // The control bound to a window of this process; null for any other window.
  static TWinControl* FindControl(HWND h);
  // Makes target the window's OLE drop target (RegisterDragDrop, which holds a reference);
  // it is revoked when the window goes (WM_NCDESTROY) or by RevokeDropTarget.
  HRESULT RegisterDropTarget(IDropTarget* target);
  void RevokeDropTarget();
  bool DropTargetRegistered() const { return dropRegistered_; }

  int ControlCount() const { return int(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(size_t(index)); }
  const std::vector<TControl*>& ControlList() const { return controls_; }
  // The topmost visible graphic child at p (client coordinates); null when none.
  TControl* GraphicControlAt(TPoint p) const;

  TRect ClientRect() const override;
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Invalidate() override;
  void Update() override;
  void BringToFront() override;

  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  int TabOrder() const;
  void SetTabOrder(int order);
  // Focusable descendants in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl*>& list);
  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v);
  // Whether files dropped from the shell reach OnDropFiles.
  bool AcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool v);

  // Positions the aligned children; held while loading or between Disable/EnableAlign.
  void DisableAlign() { ++alignLevel_; }
  void EnableAlign();
  void Realign();
  // Aligns this control's children and then, recursively, every windowed child's.
  void AlignTree();

  // The key events of this control, after its form's when the form previews keys.
  // True when the key was consumed (set to 0).
  bool DoKeyDown(uint16_t& key, TShiftState shift);
  bool DoKeyUp(uint16_t& key, TShiftState shift);
  bool DoKeyPress(char& key);

  void AdoptChild(TComponent& child) override;
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;
  void SetName(const std::string& name) override;
  void WndProc(TMessage& m) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TDropFilesEvent OnDropFiles;

 protected:
  friend LRESULT CALLBACK FwWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  friend class TCustomForm;
  friend class TCustomControl;  // paints what lies beneath it (PaintParentBeneath)

  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  // Runs once the window and its children exist (push list items, set ranges).
  virtual void CreateWindowHandle() {}
  // Saves what must survive a recreate (unless destroying) and destroys the window.
  virtual void DestroyWnd();
  void DefaultHandler(TMessage& m) override;
  // The client area less the parts children must not cover.
  virtual void AdjustClientRect(TRect& r) const;
  virtual void AlignControls();
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void DoEnter();
  virtual void DoExit();
  // WM_GETDLGCODE: the keys this control wants for itself.
  virtual void WMGetDlgCode(TMessage& m) { DefaultHandler(m); }
  virtual void WMPaint(TMessage& m);
  virtual void WMEraseBkgnd(TMessage& m);
  virtual void CNCommand(TMessage&) {}
  virtual void CNNotify(TMessage&) {}
  virtual void CNCtlColor(TMessage& m);
  // WM_DELETEITEM of a list or combo item, with the object alive (see BeforeDestruction).
  virtual void CNDeleteItem(TMessage&) {}
  // Takes the bounds the window has now.
  void UpdateBoundsFromWindow();
  // WM_CONTEXTMENU: the PopupMenu with AutoPopup at the point (screen coordinates; -1, -1
  // from the keyboard: the client origin); else the default handling.
  virtual void WMContextMenu(TMessage& m);
  // Paints the graphic children that meet clip, in z-order.
  void PaintControls(HDC dc, const TRect& clip);
  // Fills the client area (or r) with this control's colour.
  void PaintBackground(HDC dc, const RECT& r);
  HBRUSH BrushHandle() { return brush_.Handle(); }

  void BoundsChanged(bool resized) override;
  void FontChanged() override;
  void ColorChanged() override;
  void EnabledChanged() override;
  void BeforeDestruction() override;
  void Loaded() override;

 private:
  friend class TControl;
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  void CreateHandleNow();
  void DestroyHandle();
  void Detach();
  void UpdateNameProperty();
  TWinControl* ChildById(UINT id) const;
  TWinControl* ReflectTarget(HWND from) const;
  bool ReflectToChild(TMessage& m, HWND from);
  void ForwardMouse(TMessage& m, TControl* target);
  bool SetCursorFor(TPoint p);

  HWND handle_ = nullptr;
  WNDPROC defProc_ = nullptr;
  UINT id_ = 0;
  ATOM nameAtom_ = 0;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  bool tabStop_ = false;
  bool acceptFiles_ = false;
  int tabOrderPending_ = -1;
  int borderWidth_ = 0;
  int alignLevel_ = 0;
  bool aligning_ = false;
  TBrush brush_;
  TControl* mouseTarget_ = nullptr;
  bool updatingText_ = false;
  bool dropRegistered_ = false;
};

class TGraphicControl : public TControl {
  FW_CLASS(TGraphicControl, TControl)

 public:
  explicit TGraphicControl(TComponent* owner);
  // The canvas Paint draws on (attached only while painting).
  TCanvas& Canvas() { return canvas_; }
  // Runs fn with the canvas on the parent's window DC now, clipped to this control;
  // nothing when the control is not on screen.
  void PaintDirect(const std::function<void(TCanvas&)>& fn);
  // Paints into dc, whose origin is this control's top left corner.
  void PaintOn(HDC dc);

 protected:
  virtual void Paint() {}

 private:
  TCanvas canvas_;
};

// Whether caption marks c as its accelerator ("&Next" marks N; "&&" is a plain "&").
bool IsAccel(char c, const std::string& caption);

// A TControl hierarchy walk: fn for every control in the parent tree under root.
void ForEachControl(TWinControl& root, const std::function<void(TControl&)>& fn);

// A new control of src's class, owned by owner, with src's properties (CopyProperties,
// except those named), then named and put on parent. The window comes when it is shown.
TControl* CloneControl(const TControl& src, TComponent* owner, TWinControl* parent, const std::string& name,
                       const std::vector<std::string>& except = {});
template <class T>
T* CloneControl(const T& src, TComponent* owner, TWinControl* parent, const std::string& name,
                const std::vector<std::string>& except = {}) {
  return static_cast<T*>(CloneControl(static_cast<const TControl&>(src), owner, parent, name, except));
}

class TCustomControl : public TWinControl {
  FW_CLASS(TCustomControl, TWinControl)

 public:
  explicit TCustomControl(TComponent* owner);
  TCanvas& Canvas() { return canvas_; }
  // Paints into dc, whose origin is this control's top left corner (the test harness
  // paints into a bitmap with it).
  void PaintOn(HDC dc);
  void WndProc(TMessage& m) override;
  // Has the frame measured (WM_NCCALCSIZE) and painted again, without moving the window.
  void FrameChanged();
  // Paints what lies beneath this control in its parent (the parent's colour and the
  // graphic controls under it) into dc, whose origin is this control's top left corner:
  // the background of a control drawn over a picture.
  void PaintParentBeneath(HDC dc);

 protected:
  virtual void Paint() {}
  void WMPaint(TMessage& m) override;
  // Non-client hooks, after the default handling. NCCalcSize may shrink the proposed client
  // rectangle (parent coordinates) and ask for a whole redraw; NCPaint draws on the canvas
  // attached to the window DC, the client area clipped out, window being the window's
  // rectangle at (0, 0).
  virtual void NCCalcSize(TRect& /*client*/, bool& /*redraw*/) {}
  virtual void NCPaint(TCanvas& /*canvas*/, const TRect& /*window*/) {}
  // The hooks run only for a control that asks for them (in its constructor).
  void UseNonClientHooks() { nonClientHooks_ = true; }

 private:
  TCanvas canvas_;
  bool nonClientHooks_ = false;
};
