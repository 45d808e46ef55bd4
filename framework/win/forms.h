#pragma once
// Forms and the screen. A form class built from a form resource is made through its
// TClassInfo (Application->CreateForm, or Create): the constructor runs, then the form
// reads its resource, aligns its controls once and fires OnCreate; its window comes
// later, when it is first shown. ShowModal disables the thread's other top-level windows
// and loops HandleMessage until ModalResult is set (loops nest: a modal form may open
// another from any handler, OnShow included), then asks OnCloseQuery and OnClose before
// it hides the form. A button's ModalResult goes to its own nearest form, so a form hosted
// inside another keeps its own result. Close() asks OnCloseQuery, then OnClose; closing
// the main form ends the application.
//
// Keys: with KeyPreview the form's key events see every key of its controls first (a key
// set to 0 is consumed). Tab moves through TabOrder, Enter clicks the focused button or
// else the Default button, Esc the Cancel button, Alt+letter the control whose caption
// marks that letter.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/win/controls.h"

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
using TBorderIcons = uint32_t;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4;
enum class TPosition { poDesigned, poScreenCenter };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                       mrIgnore = 5, mrYes = 6, mrNo = 7;
const TTypeInfo& ModalResultTypeInfo();

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;

class TCustomForm : public TCustomControl {
  FW_CLASS(TCustomForm, TCustomControl)

 public:
  explicit TCustomForm(TComponent* owner);

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  TWinControl* ActiveControl() const { return activeControl_.Get(); }
  void SetActiveControl(TWinControl* c);
  void SetClientWidth(int w);
  void SetClientHeight(int h);
  TRect ClientRect() const override;

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool Modal() const { return modal_; }
  int ShowModal();
  void Close();
  bool CloseQuery();
  // Frees the form once the handler now running has returned.
  void Release();
  // A hosted form is one whose Parent is a control of another form.
  bool Hosted() const { return Parent() != nullptr; }
  // The bounds the window has when it is neither maximised nor minimised (its placement's
  // normal position); the form's bounds without a window.
  TRect NormalBounds();
  // The smallest size the user can drag the window to (WM_GETMINMAXINFO); 0 for no limit.
  TSize MinTrackSize() const { return minTrack_; }
  void SetMinTrackSize(TSize s) { minTrack_ = s; }

  // Focus bookkeeping: fires OnExit of the control that had focus, OnEnter of c.
  void FocusChanged(TWinControl* c);
  // Tab, Enter and Esc for the focused control; true when the form used the key.
  bool DialogKey(uint16_t key, TShiftState shift);
  // Alt+letter: the control whose caption marks c; true when one took it.
  bool DialogChar(char c);
  void SelectNext(TWinControl* current, bool forward);

  void SetVisible(bool visible) override;
  void AdoptChild(TComponent& child) override;
  void GetChildren(const std::function<void(TComponent&)>& fn) const override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnResize;
  TNotifyEvent OnDestroy;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

 protected:
  ~TCustomForm() override;
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& m) override;
  void AfterConstruction() override;
  void DoDestroy() override;
  void Loaded() override;
  void BoundsChanged(bool resized) override;
  void BeforeDestruction() override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);

 private:
  TSize minTrack_;
  void ApplyPosition();
  void ApplyClientSize(int w, int h);
  DWORD FrameStyle() const;
  DWORD FrameExStyle() const;

  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = TPosition::poDesigned;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TWindowState windowState_ = TWindowState::wsNormal;
  bool keyPreview_ = false;
  TLink<TWinControl> activeControl_{this};
  TLink<TWinControl> focused_{this};
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool positioned_ = false;
  int pendingClientWidth_ = -1, pendingClientHeight_ = -1;
};

class TForm : public TCustomForm {
  FW_CLASS(TForm, TCustomForm)

 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

class TScreen : public TComponent {
  FW_CLASS(TScreen, TComponent)

 public:
  explicit TScreen(TComponent* owner);
  int FormCount() const { return int(forms_.size()); }
  TCustomForm* Forms(int index) const { return forms_.at(size_t(index)); }
  // The active top-level form of this program, or null.
  TCustomForm* ActiveForm() const { return active_; }
  int Width() const;
  int Height() const;
  // An override every control's cursor gives way to (crDefault: none).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);
  HCURSOR Cursors(TCursor id) const;
  void SetCursors(TCursor id, HCURSOR cursor);

 private:
  friend class TCustomForm;
  std::vector<TCustomForm*> forms_;
  TCustomForm* active_ = nullptr;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<TCursor, HCURSOR>> custom_;
};

extern TScreen* Screen;
